// Opening documents and making new ones, the library's warnings while a file loads, and the
// recent-files list. These are the main window's own commands; it only wires them to its actions.
#include "editor/main_window.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "controls/xpress.h"
#include "editor/commands/avi_commands.h"
#include "editor/document_window.h"
#include "editor/wizards.h"
#include "editor/file_dialogs.h"
#include "editor/forms/guarded.h"
#include "editor/model/files.h"
#include "editor/model/registry.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/working_image.h"

#include <QAction>
#include <new>
#include <string_view>
#include <QApplication>
#include <QLayout>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>

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

// ---- opening

void TfrmMain::OpenFileByType(const QString& path) {
  const std::uint8_t code = GetFileTypeCode(path);
  if (code == kFileTypeGif) {
    OpenGifDocument(path);
  } else if (code >= 1 && code <= 17) {
    InsertImageFile(path, code);
  } else if (code == kFileTypeAvi) {
    aviCommands_->ImportAvi(path);
  } else {
    ShowMessage(Tr(kUnsupported).arg(FileNameOnly(path)), MessageType::Warning, kOk);
  }
}

bool TfrmMain::BringOpenDocumentToFront(const QString& path) {
  const int index = documents_.FindOpenDocument(path);
  if (index < 0) return false;
  MessageBeep();
  TMDIChild* d = documents_.At(index);
  if (QMdiSubWindow* sub = SubWindowFor(d)) {
    sub->showNormal();
    mdi_->setActiveSubWindow(sub);
  }
  return true;
}

TMDIChild* TfrmMain::OpenFile(const QString& fileName) {
  const int open = documents_.FindOpenDocument(fileName);
  if (open >= 0) {
    BringOpenDocumentToFront(fileName);
    return documents_.At(open);
  }
  return OpenGifDocument(fileName) ? ActiveDocument() : nullptr;
}

std::unique_ptr<TGIFImage> TfrmMain::ReadForOpen(const QString& path, bool& tooLarge) {
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

bool TfrmMain::OpenGifDocument(const QString& path) {
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

bool TfrmMain::LoadImageIntoWindow(std::unique_ptr<TGIFImage> image, const QString& path) {
  const int count = image->Images().GetCount();
  if (count < 2 && (count == 0 || image->Images().GetFrame(0)->IsEmpty())) {
    ShowMessage(Tr(kUnableToDecode).arg(path), MessageType::Warning, kOk);
    RemoveRecentFile(path);
    return false;
  }
  if (options_.UseSettingsStore)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
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
  FrameCountChanged(columns);
  selectedFrame_ = 0;
  ShowFrame(0);
  return true;
}

void TfrmMain::InsertImageFile(const QString& path, std::uint8_t code) {
  HideSplash();
  gif::Bitmap bitmap;
  QString error;
  int result;
  {
    BusyScope busy;
    result = ImportImageFile(*this, path, bitmap, code, true, &error);
  }
  if (result != kImportBitmap) {
    if (!error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
    return;
  }
  const int count = SharedImage()->Images().GetCount();
  // A photo's frame takes its time to convert, merge into the palette and write: the window goes on
  // meanwhile (its questions come first, as always).
  BusyScope busy;
  InsertBitmapFrame(bitmap, count < 2 ? count : 0, Tr(undo_captions::kAddFrame));
}

void TfrmMain::FileOpenExecute() {
  const QStringList files = ChooseOpenFiles(QString::fromLatin1(kGifFilter), openFolder_);
  for (const QString& f : files) OpenGifDocument(f);
  if (!files.isEmpty()) openFolder_ = QFileInfo(files.back()).absolutePath();
  SetStatusText(QString(), 1);
}

void TfrmMain::PTOpenDlg1Initialized(ptshell::TPTDialog* sender) {
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
  if (options_.UseSettingsStore) {
    SettingsStore store;
    position = ReadRegInt(store, QString::fromLatin1(sections::kFormOpenDialog), QStringLiteral("SplitterPreviewPos"),
                          position);
  }
  SplitterShell_->setSizes({position, std::max(1, total - position)});
  form->OnSelectionChanged = Guarded([this](QObject*) { OpenDlgPreviewSelectItem(); });
}

void TfrmMain::OpenDlgPreviewSelectItem() {
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

void TfrmMain::SplitterShellMoved() {
  // The scroll box centres the picture panel itself; a move only needs a new layout.
  if (SplitterShell_ && SplitterShell_->parentWidget() != this && sbxShell_) sbxShell_->widget()->updateGeometry();
}

void TfrmMain::PTOpenDlg1FormClose() {
  if (!SplitterShell_ || SplitterShell_->parentWidget() == this) return;
  if (options_.UseSettingsStore && !SplitterShell_->sizes().isEmpty()) {
    SettingsStore store;
    WriteRegInt(store, QString::fromLatin1(sections::kFormOpenDialog), QStringLiteral("SplitterPreviewPos"),
                SplitterShell_->sizes().front());
  }
  imgX_->ClearImage();
  imgX_->hide();
  imgX_->setParent(this);
  if (QWidget* pane = SplitterShell_->parentWidget(); pane && pane->layout() && previewList_)
    delete pane->layout()->replaceWidget(SplitterShell_, previewList_);
  SplitterShell_->hide();
  SplitterShell_->setParent(this);
  sbxShell_->horizontalScrollBar()->setValue(0);
  sbxShell_->verticalScrollBar()->setValue(0);
  lblShell_->hide();
  lblShell_->setParent(this);
  if (previewForm_) previewForm_->OnSelectionChanged = nullptr;
  previewForm_ = nullptr;
  previewList_ = nullptr;
}

void TfrmMain::NewEmptyDocument() {
  HideSplash();
  BusyScope busy;
  if (options_.UseSettingsStore)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
  documents_.NewDocument();
  SetStatusText(QString(), 1);
}

void TfrmMain::FileNewExecute() {
  HideSplash();
  RunWizards(static_cast<int>(forms::WizardMode::NewAnimation));
  SetStatusText(QString(), 1);
}

// ---- warnings

void TfrmMain::InstallWarnings(bool on) {
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

void TfrmMain::GifWarning(const void* sender, int severity, const std::string& message) {
  static const char* const kSeverity[] = {"special comments", "a warning", "an error"};
  const char* name = kSeverity[std::clamp(severity, 0, 2)];
  const QString text = Tr(kWarningText)
                           .arg(QString::fromLatin1(name), SenderName(sender, SharedImage()),
                                QString::fromStdString(message));
  const int answer =
      ShowMessage(text, MessageType::Warning, Button(mrAbort) | Button(mrIgnore) | Button(mrAll));
  if (answer == mrIgnore) return;
  if (answer == mrAll) {
    if (options_.UseSettingsStore)
      WriteSetting(QString::fromLatin1(sections::kSettings), QStringLiteral("Warnings"), QString(), true, 0);
    settings_.Warnings = 0;
    // The handler may be running inside the very callback it would remove: it falls silent now
    // and is taken off the shared image once the operation is over.
    warnings_ = false;
    QMetaObject::invokeMethod(
        this, Guarded([this] { if (!warnings_) SharedImage()->OnWarning = nullptr; }), Qt::QueuedConnection);
    return;
  }
  throw gif::GIFException(kAborted);
}

// ---- recent files

QStringList TfrmMain::RecentFiles() const {
  QStringList out;
  for (QAction* a : mniFileRecent_->actions()) out.append(a->text().mid(3));
  return out;
}

void TfrmMain::RenumberRecentFiles() {
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

void TfrmMain::AddRecentFile(const QString& path) {
  const QList<QAction*> items = mniFileRecent_->actions();
  QAction* found = nullptr;
  for (QAction* a : items)
    if (a->text().mid(3) == path) found = a;
  if (found) {
    mniFileRecent_->removeAction(found);
  } else {
    found = new QAction(QStringLiteral("&0 ") + path, mniFileRecent_);
    found->setStatusTip(Tr(kOpensThisFile));
    connect(found, &QAction::triggered, this, Guarded([this, found] { RecentFileClick(found); }));
  }
  QList<QAction*> rest = mniFileRecent_->actions();
  mniFileRecent_->insertAction(rest.isEmpty() ? nullptr : rest.front(), found);
  RenumberRecentFiles();
}

void TfrmMain::RemoveRecentFile(const QString& path) {
  for (QAction* a : mniFileRecent_->actions())
    if (a->text().mid(3) == path) {
      mniFileRecent_->removeAction(a);
      a->deleteLater();
    }
  RenumberRecentFiles();
}

void TfrmMain::RecentFileClick(QAction* item) {
  if (!item) return;
  const QString path = item->text().mid(3);
  if (QFileInfo(path).isFile()) {
    OpenGifDocument(path);
    return;
  }
  ShowMessage(Tr(kCouldNotOpen).arg(path), MessageType::Warning, kOk);
  RemoveRecentFile(path);
}

void TfrmMain::RebuildRecentPopup() {
  popRecentFiles_->clear();
  for (QAction* a : mniFileRecent_->actions()) {
    QAction* copy = popRecentFiles_->addAction(a->text());
    copy->setStatusTip(a->statusTip());
    connect(copy, &QAction::triggered, a, &QAction::trigger);
  }
}

}  // namespace movinta::editor
