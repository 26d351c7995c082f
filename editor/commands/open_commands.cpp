#include "editor/commands/open_commands.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "controls/xpress.h"
#include "editor/commands/frame_commands.h"
#include "editor/file_dialogs.h"
#include "editor/forms/guarded.h"
#include "editor/model/files.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/working_image.h"

#include <QAction>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QUrl>
#include <new>
#include <string_view>
#include <QApplication>
#include <QLayout>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>

namespace movinta::editor {

namespace {
constexpr const char* kUnsupported =
    "Error loading %1! GIF Movinta does not support the file type or it is a corrupted file.";
constexpr const char* kUnableToDecode = "Unable to decode %1. The file is could be corrupt.";
constexpr const char* kCouldNotOpen = "Could not open %1. The file may have moved.";
constexpr const char* kOpensThisFile = "Opens this file";
constexpr const char* kWarningText =
    "A GIF process has resulted in %1. The source is traced to %2 with the following message: \"%3.\"";
constexpr const char* kAborted = "This process has been aborted.";
constexpr const char* kGifFilter = "GIF Images (*.gif)";
constexpr int kMaxRecentFiles = 10;

QString SenderName(const void* sender, const TGIFImage* image) {
  if (sender == image) return QStringLiteral("TGIFImage");
  if (image) {
    for (int i = 0; i < image->Images().GetCount(); ++i)
      if (sender == image->Images().GetFrame(i)) return QStringLiteral("TGIFSubImage");
    if (sender == &image->Images()) return QStringLiteral("TGIFImageList");
    if (sender == &image->Header()) return QStringLiteral("TGIFHeader");
  }
  return QStringLiteral("TGIFItem");
}
}  // namespace

TOpenCommands::TOpenCommands(TDocuments& documents, QWidget* window, TXpress* imaging, IImportHost& import,
                             QProgressBar* bar, bool useSettingsStore, OpenHooks hooks)
    : documents_(documents), window_(window), imgX_(imaging), import_(import), prgBar_(bar),
      useSettingsStore_(useSettingsStore), hooks_(std::move(hooks)) {
  // The open dialog's preview, kept hidden in the window between runs of the dialog.
  SplitterShell_ = new QSplitter(Qt::Horizontal, window);
  SplitterShell_->setObjectName(QStringLiteral("SplitterShell"));
  SplitterShell_->hide();
  sbxShell_ = new QScrollArea(SplitterShell_);
  sbxShell_->setObjectName(QStringLiteral("sbxShell"));
  sbxShell_->setAlignment(Qt::AlignCenter);
  pnlShell_ = new QWidget;
  pnlShell_->setObjectName(QStringLiteral("pnlShell"));
  pnlShell_->resize(1, 1);
  sbxShell_->setWidget(pnlShell_);
  SplitterShell_->addWidget(sbxShell_);
  QObject::connect(SplitterShell_, &QSplitter::splitterMoved, window, Guarded([this] { SplitterShellMoved(); }));
  lblShell_ = new QLabel(window);
  lblShell_->setObjectName(QStringLiteral("lblShell"));
  lblShell_->hide();
}

TOpenCommands::~TOpenCommands() = default;

void TOpenCommands::HideSplash() {
  if (hooks_.HideSplash) hooks_.HideSplash();
}

void TOpenCommands::SetStatusText(const QString& text, int panel) {
  if (hooks_.SetStatusText) hooks_.SetStatusText(text, panel);
}

void TOpenCommands::ReadMaxUndo() {
  if (useSettingsStore_)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
}

QLabel* TOpenCommands::PreviewLabel() const { return lblShell_; }

// ---- opening

void TOpenCommands::OpenFileByType(const QString& path) {
  const std::uint8_t code = GetFileTypeCode(path);
  if (code == kFileTypeGif) {
    OpenGifDocument(path);
  } else if (code >= 1 && code <= 17) {
    InsertImageFile(path, code);
  } else if (code == kFileTypeAvi) {
    if (hooks_.ImportAvi) hooks_.ImportAvi(path);
  } else {
    ShowMessage(Tr(kUnsupported).arg(FileNameOnly(path)), MessageType::Warning, kOk);
  }
}

bool TOpenCommands::BringOpenDocumentToFront(const QString& path) {
  const int index = documents_.FindOpenDocument(path);
  if (index < 0) return false;
  MessageBeep();
  if (hooks_.ShowDocumentWindow) hooks_.ShowDocumentWindow(documents_.At(index));
  return true;
}

TMDIChild* TOpenCommands::OpenFile(const QString& fileName) {
  const int open = documents_.FindOpenDocument(fileName);
  if (open >= 0) {
    BringOpenDocumentToFront(fileName);
    return documents_.At(open);
  }
  return OpenGifDocument(fileName) ? documents_.Active() : nullptr;
}

std::unique_ptr<TGIFImage> TOpenCommands::ReadForOpen(const QString& path, bool& tooLarge) {
  tooLarge = false;
  if (!QFileInfo(path).isFile()) return nullptr;
  auto image = std::make_unique<TGIFImage>();
  // The file is read and decoded aside while the window goes on painting and answering; the
  // warnings' questions still reach the window on its own thread.
  if (warnings_)
    image->OnWarning = [this](const void* sender, int severity, const std::string& message) {
      if (warnings_) GifWarning(sender, severity, message);
    };
  const std::string name = QFile::encodeName(path).toStdString();
  bool unreadable = false, failed = false;
  RunAsideOn(
      *image,
      [&] {
        try {
          image->LoadFromFile(name);
        } catch (const std::exception& e) {
          const std::string_view what(e.what());
          if (what.starts_with(gif::texts::CannotOpenFile)) {
            unreadable = true;
            return;
          }
          // A valid file too large for the memory is not a corrupt one.
          tooLarge = dynamic_cast<const std::bad_alloc*>(&e) || what == gif::texts::MemoryBudgetExceeded;
          failed = true;
        }
      },
      Tr(gif::texts::Loading));
  if (unreadable) return nullptr;
  if (failed) {
    // A load that stops part way never reports its end; the bar must not stay.
    if (IProgress* sink = ProgressSink()) sink->Progress(2, 0, QString());
    MessageBeep();
    return nullptr;
  }
  image->OnWarning = nullptr;
  image->OnProgress = nullptr;
  return image;
}

bool TOpenCommands::OpenGifDocument(const QString& path) {
  HideSplash();
  if (BringOpenDocumentToFront(path)) return false;
  const QString full = ExpandFileName(path);
  std::unique_ptr<TGIFImage> image;
  bool tooLarge = false;
  {
    BusyScope busy;
    image = ReadForOpen(full, tooLarge);
  }
  // The active document is put aside only once the new file has been read, so a failure leaves
  // it as it was.
  if (!image) {
    // A file that is not there is said to be missing, not unsupported.
    if (!QFileInfo::exists(full))
      ShowMessage(Tr(kCouldNotOpen).arg(FileNameOnly(full)), MessageType::Warning, kOk);
    else if (tooLarge)
      ShowMessage(FileNameOnly(full) + QStringLiteral(": ") + Tr(gif::texts::MemoryBudgetExceeded), MessageType::Warning, kOk);
    else
      ShowMessage(Tr(kUnsupported).arg(FileNameOnly(full)), MessageType::Warning, kOk);
    return false;
  }
  if (!LoadImageIntoWindow(std::move(image), full)) return false;
  AddRecentFile(full);
  return true;
}

bool TOpenCommands::LoadImageIntoWindow(std::unique_ptr<TGIFImage> image, const QString& path) {
  const int count = image->Images().GetCount();
  if (count < 2 && (count == 0 || image->Images().GetFrame(0)->IsEmpty())) {
    ShowMessage(Tr(kUnableToDecode).arg(path), MessageType::Warning, kOk);
    RemoveRecentFile(path);
    return false;
  }
  ReadMaxUndo();
  TMDIChild* d = documents_.OpenDocument(path, std::move(image));
  if (!d) return false;

  TGIFImage& shown = *SharedImage();
  const int frames = shown.Images().GetCount();
  int columns = frames;
  if (frames >= 2) {
    BusyScope busy;
    prgBar_->setRange(0, frames - 1);
    prgBar_->setValue(0);
    prgBar_->show();
    // Empty frames go behind the others, where the strip does not show them.
    for (int i = frames - 1; i >= 0; --i)
      if (shown.Images().GetFrame(i)->IsEmpty()) MoveFrameTo(shown, i, shown.Images().GetCount() - 1);
    columns = 0;
    for (int i = 0; i < frames; ++i) {
      if (!shown.Images().GetFrame(i)->IsEmpty()) ++columns;
      prgBar_->setValue(i);
      // Never a repaint at once: that paints the strip, whose cells render frames, inside the load.
      BusyScope::KeepPainted();
    }
    prgBar_->hide();
    prgBar_->setRange(0, 100);
  }
  if (hooks_.ShowLoadedFrames) hooks_.ShowLoadedFrames(columns);
  return true;
}

void TOpenCommands::InsertImageFile(const QString& path, std::uint8_t code) {
  HideSplash();
  gif::Bitmap bitmap;
  QString error;
  int result;
  {
    BusyScope busy;
    result = ImportImageFile(import_, path, bitmap, code, true, &error);
  }
  if (result != kImportBitmap) {
    if (!error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
    return;
  }
  const int count = SharedImage()->Images().GetCount();
  // A photo's frame takes its time to convert, merge into the palette and write: the window goes on
  // meanwhile (its questions come first, as always).
  BusyScope busy;
  import_.InsertBitmapFrame(bitmap, count < 2 ? count : 0, Tr(undo_captions::kAddFrame));
}

void TOpenCommands::FileOpenExecute() {
  const QStringList files =
      hooks_.ChooseOpenFiles ? hooks_.ChooseOpenFiles(QString::fromLatin1(kGifFilter), OpenFolder) : QStringList();
  for (const QString& f : files) OpenGifDocument(f);
  if (!files.isEmpty()) OpenFolder = QFileInfo(files.back()).absolutePath();
  SetStatusText(QString(), 1);
}

void TOpenCommands::PTOpenDlg1Initialized(ptshell::TPTDialog* sender) {
  ptshell::TPTFrmOpenDlg* form = static_cast<ptshell::TPTFileDlg*>(sender)->Form();
  if (!form || !SplitterShell_) return;
  QWidget* list = form->PTShellList1;
  QWidget* pane = list->parentWidget();
  if (!pane || !pane->layout()) return;
  previewForm_ = form;
  previewList_ = list;
  // The list and the preview share the list's place, split by SplitterShell.
  SplitterShell_->setParent(pane);
  delete pane->layout()->replaceWidget(list, SplitterShell_);
  SplitterShell_->insertWidget(0, list);
  SplitterShell_->show();
  sbxShell_->show();
  imgX_->setParent(pnlShell_);
  imgX_->move(0, 0);
  imgX_->resize(1, 1);
  imgX_->show();
  lblShell_->setParent(form);
  lblShell_->clear();
  PlaceBesideLookIn(*form, *lblShell_);
  lblShell_->show();
  const int total = std::max(2, pane->width());
  int position = total * 2 / 3;
  if (useSettingsStore_) {
    SettingsStore store;
    position = ReadRegInt(store, QString::fromLatin1(sections::kFormOpenDialog), QStringLiteral("SplitterPreviewPos"),
                          position);
  }
  SplitterShell_->setSizes({position, std::max(1, total - position)});
  form->OnSelectionChanged = Guarded([this](QObject*) { OpenDlgPreviewSelectItem(); });
}

void TOpenCommands::OpenDlgPreviewSelectItem() {
  if (!previewForm_ || !lblShell_) return;
  ptshell::TPTShellList* list = previewForm_->PTShellList1;
  ptshell::TPTShListData* item = list->SelectedCount() > 0 ? list->GetSelectedData() : nullptr;
  if (!item) {
    imgX_->ClearImage();
    imgX_->resize(1, 1);
    pnlShell_->resize(1, 1);
    lblShell_->clear();
    return;
  }
  if (item->IsFolder()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  imgX_->SetFileName(QString::fromStdString(item->GetPath()));
  QApplication::restoreOverrideCursor();
  if (imgX_->GetErrorCode() != 0) {
    lblShell_->setText(QStringLiteral("Unabled to load image."));
    return;
  }
  const int width = imgX_->GetImageWidthLong(), height = imgX_->GetImageHeightLong();
  sbxShell_->setUpdatesEnabled(false);
  imgX_->resize(width, height);
  pnlShell_->resize(width, height);
  sbxShell_->setUpdatesEnabled(true);
  lblShell_->setText(QStringLiteral("Dimensions: (%1 x %2)").arg(height).arg(width));
}

void TOpenCommands::SplitterShellMoved() {
  // The scroll box centres the picture panel itself; a move only needs a new layout.
  if (SplitterShell_ && SplitterShell_->parentWidget() != window_ && sbxShell_) sbxShell_->widget()->updateGeometry();
}

void TOpenCommands::PTOpenDlg1FormClose() {
  if (!SplitterShell_ || SplitterShell_->parentWidget() == window_) return;
  if (useSettingsStore_ && !SplitterShell_->sizes().isEmpty()) {
    SettingsStore store;
    WriteRegInt(store, QString::fromLatin1(sections::kFormOpenDialog), QStringLiteral("SplitterPreviewPos"),
                SplitterShell_->sizes().front());
  }
  imgX_->ClearImage();
  imgX_->hide();
  imgX_->setParent(window_);
  if (QWidget* pane = SplitterShell_->parentWidget(); pane && pane->layout() && previewList_)
    delete pane->layout()->replaceWidget(SplitterShell_, previewList_);
  SplitterShell_->hide();
  SplitterShell_->setParent(window_);
  sbxShell_->horizontalScrollBar()->setValue(0);
  sbxShell_->verticalScrollBar()->setValue(0);
  lblShell_->hide();
  lblShell_->setParent(window_);
  if (previewForm_) previewForm_->OnSelectionChanged = nullptr;
  previewForm_ = nullptr;
  previewList_ = nullptr;
}

void TOpenCommands::NewEmptyDocument() {
  HideSplash();
  BusyScope busy;
  ReadMaxUndo();
  documents_.NewDocument();
  SetStatusText(QString(), 1);
}

void TOpenCommands::FileNewExecute() {
  HideSplash();
  if (hooks_.RunNewAnimationWizard) hooks_.RunNewAnimationWizard();
  SetStatusText(QString(), 1);
}

// ---- warnings

void TOpenCommands::InstallWarnings(bool on) {
  warnings_ = on;
  TGIFImage& image = *SharedImage();
  if (!on) {
    image.OnWarning = nullptr;
    return;
  }
  image.OnWarning = [this](const void* sender, int severity, const std::string& message) {
    if (warnings_) GifWarning(sender, severity, message);
  };
}

void TOpenCommands::GifWarning(const void* sender, int severity, const std::string& message) {
  static const char* const kSeverity[] = {"special comments", "a warning", "an error"};
  const char* name = kSeverity[std::clamp(severity, 0, 2)];
  const QString text = Tr(kWarningText)
                           .arg(QString::fromLatin1(name), SenderName(sender, SharedImage()),
                                QString::fromStdString(message));
  const int answer =
      ShowMessage(text, MessageType::Warning, Button(mrAbort) | Button(mrIgnore) | Button(mrAll));
  if (answer == mrIgnore) return;
  if (answer == mrAll) {
    if (useSettingsStore_)
      WriteSetting(QString::fromLatin1(sections::kSettings), QStringLiteral("Warnings"), QString(), true, 0);
    if (hooks_.WarningsTurnedOff) hooks_.WarningsTurnedOff();
    // The handler may be running inside the very callback it would remove: it falls silent now
    // and is taken off the shared image once the operation is over.
    warnings_ = false;
    QMetaObject::invokeMethod(
        window_, Guarded([this] { if (!warnings_) SharedImage()->OnWarning = nullptr; }), Qt::QueuedConnection);
    return;
  }
  throw gif::GIFException(kAborted);
}

// ---- pictures of the image browser and of drops

bool TOpenCommands::DropFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  QStringList files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files.append(QFileInfo(url.toLocalFile()).absoluteFilePath());
  for (const QString& f : files) OpenFileByType(f);
  return !files.isEmpty();
}

bool TOpenCommands::OpenPictureAsDocument(const QString& path) {
  if (TMDIChild* d = documents_.Active()) d->FlushWorkingCopy();
  HideSplash();
  gif::Bitmap bitmap;
  QString error;
  if (!ReadPictureFile(path, bitmap, &error)) {
    if (!error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
    return false;
  }
  TMDIChild* created = documents_.NewDocument();
  if (!created) return false;
  if (hooks_.FrameCommands()->InsertBitmapFrame(bitmap, 0, Tr(undo_captions::kAddFrame)) >= 0) return true;
  documents_.FreeChildWindow(created);
  return false;
}

bool TOpenCommands::ReadPictureFile(const QString& path, gif::Bitmap& bitmap, QString* error) {
  return ImportImageFile(import_, path, bitmap, GetFileTypeCode(path), true, error) == kImportBitmap;
}

int TOpenCommands::InsertImageFileAfterSelection(const QString& path) {
  HideSplash();
  if (hooks_.PausePlayback) hooks_.PausePlayback();
  const int added = hooks_.FrameCommands()->AddFrameFiles({path}, [this](const QString& file, gif::Bitmap& picture,
                                                                         QString* error) {
    return ReadPictureFile(file, picture, error);
  });
  return added > 0 && documents_.Active() ? documents_.Active()->CurrentFrame : -1;
}

void TOpenCommands::InsertThumbByType(const QString& path, bool onClientArea) {
  const std::uint8_t code = GetFileTypeCode(path);
  if (code == kFileTypeGif) {
    // A GIF asks whether its frames join the animation or start a new one.
    HideSplash();
    gif::Bitmap unused;
    QString error;
    int result;
    {
      BusyScope busy;
      result = ImportImageFile(import_, path, unused, code, false, &error);
    }
    if (result == kImportFailed && !error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
    return;
  }
  if (!onClientArea) {
    InsertImageFile(path, code);
    return;
  }
  // Dropped on the window around the documents: a new animation of that picture.
  HideSplash();
  gif::Bitmap bitmap;
  QString error;
  {
    BusyScope busy;
    if (!ReadPictureFile(path, bitmap, &error)) {
      if (!error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
      return;
    }
  }
  if (TMDIChild* d = documents_.Active(); d && d->Modified) d->FlushWorkingCopy();
  TMDIChild* created = documents_.NewDocument();
  if (!created) return;
  if (hooks_.FrameCommands()->InsertBitmapFrame(bitmap, 0, Tr(undo_captions::kDragAndDropImage)) < 0)
    documents_.FreeChildWindow(created);
}

// ---- recent files

void TOpenCommands::SetRecentMenus(QMenu* recent, QMenu* popup) {
  mniFileRecent_ = recent;
  popRecentFiles_ = popup;
  QObject::connect(popRecentFiles_, &QMenu::aboutToShow, window_, Guarded([this] { RebuildRecentPopup(); }));
}

QStringList TOpenCommands::RecentFiles() const {
  QStringList out;
  for (QAction* a : mniFileRecent_->actions()) out.append(a->text().mid(3));
  return out;
}

void TOpenCommands::RenumberRecentFiles() {
  const QList<QAction*> items = mniFileRecent_->actions();
  for (int i = 0; i < items.size(); ++i) {
    if (i >= kMaxRecentFiles) {
      mniFileRecent_->removeAction(items[i]);
      items[i]->deleteLater();
      continue;
    }
    items[i]->setText(QStringLiteral("&%1 ").arg(i) + items[i]->text().mid(3));
  }
  mniFileRecent_->menuAction()->setVisible(!mniFileRecent_->actions().isEmpty());
}

void TOpenCommands::AddRecentFile(const QString& path) {
  const QList<QAction*> items = mniFileRecent_->actions();
  QAction* found = nullptr;
  for (QAction* a : items)
    if (a->text().mid(3) == path) found = a;
  if (found) {
    mniFileRecent_->removeAction(found);
  } else {
    found = new QAction(QStringLiteral("&0 ") + path, mniFileRecent_);
    found->setStatusTip(Tr(kOpensThisFile));
    QObject::connect(found, &QAction::triggered, window_, Guarded([this, found] { RecentFileClick(found); }));
  }
  QList<QAction*> rest = mniFileRecent_->actions();
  mniFileRecent_->insertAction(rest.isEmpty() ? nullptr : rest.front(), found);
  RenumberRecentFiles();
}

void TOpenCommands::RemoveRecentFile(const QString& path) {
  for (QAction* a : mniFileRecent_->actions())
    if (a->text().mid(3) == path) {
      mniFileRecent_->removeAction(a);
      a->deleteLater();
    }
  RenumberRecentFiles();
}

void TOpenCommands::RecentFileClick(QAction* item) {
  if (!item) return;
  const QString path = item->text().mid(3);
  if (QFileInfo(path).isFile()) {
    OpenGifDocument(path);
    return;
  }
  ShowMessage(Tr(kCouldNotOpen).arg(path), MessageType::Warning, kOk);
  RemoveRecentFile(path);
}

void TOpenCommands::RebuildRecentPopup() {
  popRecentFiles_->clear();
  for (QAction* a : mniFileRecent_->actions()) {
    QAction* copy = popRecentFiles_->addAction(a->text());
    copy->setStatusTip(a->statusTip());
    QObject::connect(copy, &QAction::triggered, a, &QAction::trigger);
  }
}

}  // namespace movinta::editor
