#include "editor/commands/image_browser_commands.h"

#include "controls/shell/dialogs/ptfolderbrowsedlg.h"
#include "editor/forms/prompts.h"
#include "editor/forms/guarded.h"
#include "editor/model/files.h"
#include "editor/commands/frame_commands.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/ui_services.h"
#include "editor/model/undo_captions.h"
#include "gif/qt/qimage_adapter.h"

#include <QAction>
#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QStatusBar>
#include <QUrl>
#include <QWidget>

#include <cmath>
#include <new>

namespace movinta::editor {

namespace {
constexpr int kFirstFavorite = 3;
// The scan hands the event loop a turn after this many files, so the window stays painted.
constexpr int kScanBatch = 16;

QString WithSlash(const QString& folder) { return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'); }
}  // namespace

TImageBrowserCommands::TImageBrowserCommands(QWidget* owner) : QObject(owner), owner_(owner) {
  auto action = [this](const char* text, const char* name) {
    auto* a = new QAction(QString::fromUtf8(text), this);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  ThumbView = action("Show/Hide I&mage Browser", "ThumbView");
  ThumbView->setCheckable(true);
  ThumbView->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
  connect(ThumbView, &QAction::triggered, this, Guarded([this] { ThumbViewExecute(); }));
  ThumbsBrowse = action("&Browse...", "ThumbsBrowse");
  ThumbsBrowse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  connect(ThumbsBrowse, &QAction::triggered, this, Guarded([this] { ThumbsBrowseExecute(); }));
  ThumbsRefresh = action("&Refresh", "ThumbsRefresh");
  ThumbsRefresh->setShortcut(QKeySequence(Qt::Key_F5));
  connect(ThumbsRefresh, &QAction::triggered, this, Guarded([this] { ThumbsRefreshExecute(); }));
  ThumbsClear = action("C&lear Window", "ThumbsClear");
  connect(ThumbsClear, &QAction::triggered, this, Guarded([this] { ThumbsClearExecute(); }));
  mniViewExplorer = action("Show/Hide &Explorer Tree", "mniViewExplorer");
  mniViewExplorer->setCheckable(true);
  mniViewExplorer->setChecked(true);
  connect(mniViewExplorer, &QAction::triggered, this, Guarded([this](bool on) { emit explorerRequested(on); }));

  mniThumbsInsert = action("&Insert Thumbnail", "mniThumbsInsert");
  connect(mniThumbsInsert, &QAction::triggered, this, Guarded([this] { mniThumbsInsertClick(); }));
  mniThumbOpen = action("&Open in Movinta", "mniThumbOpen");
  connect(mniThumbOpen, &QAction::triggered, this, Guarded([this] { mniThumbOpenClick(); }));
  mniThumbsCopy = action("&Copy to Clipboard", "mniThumbsCopy");
  connect(mniThumbsCopy, &QAction::triggered, this, Guarded([this] { mniThumbsCopyClick(); }));
  mniThumbsEdit = action("&Edit with default program...", "mniThumbsEdit");
  connect(mniThumbsEdit, &QAction::triggered, this, Guarded([this] { mniThumbsEditClick(); }));
  mniThumbsProperties = action("&Properties...", "mniThumbsProperties");
  connect(mniThumbsProperties, &QAction::triggered, this, Guarded([this] { mniThumbsPropertiesClick(); }));
  SetThumbItemsEnabled(false);

  mniThumbsFavorites = new QMenu(QStringLiteral("F&avorites"), owner);
  mniThumbsFavorites->setObjectName(QStringLiteral("mniThumbsFavorites"));
  mniThumbsFavsAdd = mniThumbsFavorites->addAction(QStringLiteral("&Add Current Folder"));
  mniThumbsFavsAdd->setObjectName(QStringLiteral("mniThumbsFavsAdd"));
  connect(mniThumbsFavsAdd, &QAction::triggered, this, Guarded([this] { mniThumbsFavsAddClick(); }));
  mniThumbsFavsOrg = mniThumbsFavorites->addAction(QStringLiteral("&Organize Favorites..."));
  mniThumbsFavsOrg->setObjectName(QStringLiteral("mniThumbsFavsOrg"));
  connect(mniThumbsFavsOrg, &QAction::triggered, this, Guarded([this] { mniThumbsFavsOrgClick(); }));
  mniThumbsFavorites->addSeparator();
  connect(mniThumbsFavorites, &QMenu::aboutToShow, this,
          Guarded([this] { mniThumbsFavsOrg->setEnabled(static_cast<bool>(host.OrganizeFavorites)); }));

  popThumbs = new QMenu(owner);
  popThumbs->setObjectName(QStringLiteral("popThumbs"));
  popThumbs->addAction(mniThumbsInsert);
  popThumbs->setDefaultAction(mniThumbsInsert);
  popThumbs->addAction(mniThumbOpen);
  popThumbs->addSeparator();
  popThumbs->addAction(mniThumbsCopy);
  popThumbs->addAction(mniThumbsEdit);
  popThumbs->addSeparator();
  popThumbs->addAction(ThumbsBrowse);
  popThumbs->addAction(ThumbsRefresh);
  popThumbs->addAction(ThumbsClear);
  popThumbs->addMenu(mniThumbsFavorites);
  popThumbs->addSeparator();
  popThumbs->addAction(mniThumbsProperties);
  connect(popThumbs, &QMenu::aboutToShow, this, Guarded([this] { popThumbsPopup(); }));
}

TImageBrowserCommands::~TImageBrowserCommands() = default;

void TImageBrowserCommands::Status(const QString& text) {
  if (host.Status) host.Status(text);
}

void TImageBrowserCommands::Progress(int position, int maximum) {
  if (host.Progress) host.Progress(position, maximum);
}

const TThumbRecord* TImageBrowserCommands::Record(int index) const {
  if (index < 0 || index >= ThumbCount() || index >= pictures_.size()) return nullptr;
  return &records_[static_cast<std::size_t>(index)];
}

void TImageBrowserCommands::SetThumbSize(int size) { thumbSize_ = std::clamp(size, 16, 512); }

// ---- the scan

void TImageBrowserCommands::ClearThumbnails() {
  records_.clear();
  records_.shrink_to_fit();
  pictures_.clear();
  if (view_ && view_->BrowserVisible()) view_->ClearGrid();
}

void TImageBrowserCommands::ScanImageFolder(const QString& folderName) {
  if (folderName.isEmpty() || scanning_) return;
  const QString folder = WithSlash(folderName);
  if (!QFileInfo(folder).isDir()) {
    ShowMessage(Tr(thumb_texts::kNotValidPath).arg(folder), MessageType::Information, kOk);
    return;
  }
  scanning_ = true;
  currentFolder_ = folderName;
  Status(Tr(thumb_texts::kScanningFolder));
  if (view_) view_->SetFolderLabel(Tr(thumb_texts::kCurrentFolder).arg(folder));

  const std::vector<ThumbFile> files = CollectImageFiles(folder, FilterType);
  if (files.empty()) {
    ClearThumbnails();
    Status(Tr(thumb_texts::kNoImagesFound) + folder);
    scanning_ = false;
    return;
  }
  const int count = static_cast<int>(files.size());
  const int size = thumbSize_;
  ClearThumbnails();
  if (view_)
    view_->SetGridLayout(ThumbLayout(view_->GridClientWidth(), view_->GridTextHeight(), size, count));

  BusyScope busy;
  Progress(0, count - 1);
  try {
    records_.reserve(static_cast<std::size_t>(count));
    pictures_.reserve(count);
  } catch (const std::exception&) {
    ShowMessage(Tr(thumb_texts::kOutOfMemory), MessageType::Error, kOk);
    Progress(0, -1);
    Status(QString());
    ClearThumbnails();
    scanning_ = false;
    return;
  }
  const QColor background = QGuiApplication::palette().color(QPalette::Base);
  DecodeThumbnails(folder, files, size, background, [&](int i, DecodedThumb& thumb) {
    const int percent = static_cast<int>(std::nearbyint((i + 1) * 100.0 / count));
    Status(Tr(thumb_texts::kScanningProgress).arg(percent).arg(QLatin1Char('%')));
    Progress(i, count - 1);
    if (!thumb.Ok) return true;  // unreadable files are left out
    try {
      const ThumbFile& f = files[static_cast<std::size_t>(i)];
      records_.push_back({f.Name, thumb.Height, thumb.Width, static_cast<int>(SizeInKB(f.Size))});
      pictures_.append(std::move(thumb.Picture));
    } catch (const std::exception&) {
      if (records_.size() > static_cast<std::size_t>(pictures_.size())) records_.pop_back();
      return false;
    }
    if (view_) view_->RepaintGrid();
    if ((i + 1) % kScanBatch == 0) BusyScope::KeepPainted(true);
    return true;
  });
  Progress(0, -1);
  Status(QString());
  scanning_ = false;
}

QString TImageBrowserCommands::PathOf(int index) const {
  // The folder the thumbnails came from: the tree may have moved on while the browser was hidden.
  const TThumbRecord* record = Record(index);
  if (!record || currentFolder_.isEmpty()) return QString();
  return WithSlash(currentFolder_) + record->FileName;
}

QString TImageBrowserCommands::GetSelectedThumbPath() const { return view_ ? PathOf(view_->SelectedThumb()) : QString(); }

QString TImageBrowserCommands::ThumbStatusText(int index) const {
  const TThumbRecord* r = Record(index);
  if (!r) return QString();
  return Tr(thumb_texts::kThumbStatus).arg(r->FileName).arg(r->Width).arg(r->Height).arg(r->SizeKB);
}

// ---- the browser's events

void TImageBrowserCommands::SetThumbItemsEnabled(bool on) {
  for (QAction* a : {mniThumbsInsert, mniThumbsEdit, mniThumbsCopy, mniThumbOpen, mniThumbsProperties})
    a->setEnabled(on);
}

void TImageBrowserCommands::ThumbPressed(bool onThumb) { SetThumbItemsEnabled(onThumb); }

void TImageBrowserCommands::TreeFolderChanged(const QString& folder) {
  if (!view_ || !view_->BrowserVisible() || folder.isEmpty() || folder == currentFolder_) return;
  ScanImageFolder(folder);
  BrowseFolder = folder;
  currentFolder_ = folder;
}

void TImageBrowserCommands::BrowserClosed() { ThumbView->setChecked(false); }

void TImageBrowserCommands::ExplorerToggled(bool visible) { mniViewExplorer->setChecked(visible); }

// ---- commands

void TImageBrowserCommands::ShowThumbWindow(bool visible) {
  if (view_) view_->SetBrowserVisible(visible);
  ThumbView->setChecked(visible);
}

void TImageBrowserCommands::ThumbViewExecute() {
  // The action has toggled its check already.
  const bool show = ThumbView->isChecked();
  if (view_) view_->SetBrowserVisible(show);
  if (show && pictures_.isEmpty()) {
    const QString folder = view_ && !view_->TreeFolder().isEmpty() ? view_->TreeFolder() : Settings().ThumbDirectory;
    ScanImageFolder(folder);
  }
}

void TImageBrowserCommands::ThumbsBrowseExecute() {
  const QString remembered = view_ ? view_->TreeFolder() : QString();
  if (view_ && !view_->BrowserVisible()) ShowThumbWindow(true);
  QString chosen = BrowseFolder.isEmpty() ? remembered : BrowseFolder;
  if (host.ChooseFolder && host.ChooseFolder(chosen)) {
    BrowseFolder = chosen;
    if (view_ && !chosen.isEmpty()) view_->SelectTreeFolder(chosen);
  } else {
    BrowseFolder = remembered;
  }
}

void TImageBrowserCommands::ThumbsRefreshExecute() {
  if (!ThumbView->isChecked()) ShowThumbWindow(true);
  const QString folder = view_ ? view_->TreeFolder() : currentFolder_;
  currentFolder_.clear();
  ScanImageFolder(folder.isEmpty() ? Settings().ThumbDirectory : folder);
}

void TImageBrowserCommands::ThumbsClearExecute() {
  if (!records_.empty()) ClearThumbnails();
}

void TImageBrowserCommands::popThumbsPopup() { ThumbsClear->setEnabled(!records_.empty()); }

void TImageBrowserCommands::mniThumbsInsertClick() {
  const QString path = GetSelectedThumbPath();
  if (!path.isEmpty() && host.InsertAfterSelection) host.InsertAfterSelection(path);
}

void TImageBrowserCommands::mniThumbOpenClick() {
  const QString path = GetSelectedThumbPath();
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  if (GetFileTypeCode(path) == kFileTypeGif) {
    if (host.OpenGif) host.OpenGif(path);
    return;
  }
  if (host.OpenPictureAsDocument) host.OpenPictureAsDocument(path);
}

void TImageBrowserCommands::mniThumbsCopyClick() {
  const QString path = GetSelectedThumbPath();
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  QImage picture;
  IClipboard* clipboard = Clipboard();
  if (!host.ReadPicture || !host.ReadPicture(path, picture) || picture.isNull() || !clipboard) {
    ShowMessage(Tr(thumb_texts::kNotCopied), MessageType::Error, kOk);
    return;
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  clipboard->SetData(QString::fromLatin1(kBitmapMimeType), png);
  MessageBeep();
  ShowMessage(Tr(thumb_texts::kCopied), MessageType::Information, kOk);
}

void TImageBrowserCommands::mniThumbsEditClick() {
  const QString path = GetSelectedThumbPath();
  if (!path.isEmpty() && host.OpenWithDefaultProgram) host.OpenWithDefaultProgram(path);
}

void TImageBrowserCommands::mniThumbsPropertiesClick() {
  const int index = view_ ? view_->SelectedThumb() : -1;
  const TThumbRecord* record = Record(index);
  if (!record || !host.ShowProperties) return;
  const TThumbRecord copy = *record;  // the dialog may outlive a rescan
  const QString path = PathOf(index);
  host.ShowProperties(path, copy);
}

void TImageBrowserCommands::InsertSelectedThumb() { InsertThumbFile(GetSelectedThumbPath()); }

void TImageBrowserCommands::InsertThumbFile(const QString& path) {
  if (path.isEmpty()) return;
  const bool document = host.HasDocument && host.HasDocument();
  if (document || GetFileTypeCode(path) != kFileTypeGif) {
    if (host.InsertByType) host.InsertByType(path, DraggingThumb);
  } else if (host.OpenGif) {
    host.OpenGif(path);
  }
}

// ---- favourites

QStringList TImageBrowserCommands::Favorites() const {
  QStringList out;
  const QList<QAction*> items = mniThumbsFavorites->actions();
  for (int i = kFirstFavorite; i < items.size(); ++i) out.append(items[i]->text());
  return out;
}

void TImageBrowserCommands::AddFavorite(const QString& path) {
  auto* item = new QAction(path, mniThumbsFavorites);
  item->setStatusTip(Tr(thumb_texts::kFavoriteHint));
  connect(item, &QAction::triggered, this, Guarded([this, item] { FavoriteClick(item); }));
  mniThumbsFavorites->addAction(item);
}

void TImageBrowserCommands::FavoriteClick(QAction* item) {
  if (!item) return;
  const QString folder = item->text();
  if (QFileInfo(folder).isDir()) {
    if (view_) view_->SelectTreeFolder(folder);
    return;
  }
  ShowMessage(Tr(thumb_texts::kFavoriteMissing).arg(folder), MessageType::Information, kOk);
  mniThumbsFavorites->removeAction(item);
  item->deleteLater();
}

void TImageBrowserCommands::RebuildFavorites(const QStringList& folders) {
  const QList<QAction*> items = mniThumbsFavorites->actions();
  for (int i = kFirstFavorite; i < items.size(); ++i) {
    mniThumbsFavorites->removeAction(items[i]);
    items[i]->deleteLater();
  }
  for (const QString& f : folders) AddFavorite(f);
}

void TImageBrowserCommands::mniThumbsFavsAddClick() {
  const QString folder = view_ ? view_->TreeFolder() : QString();
  if (folder.isEmpty() || Favorites().contains(folder)) return;
  AddFavorite(folder);
}

void TImageBrowserCommands::mniThumbsFavsOrgClick() {
  QStringList folders = Favorites();
  if (host.OrganizeFavorites && host.OrganizeFavorites(folders)) RebuildFavorites(folders);
}

}  // namespace movinta::editor
