#include "automation/wiring/main_window_host.h"

#include "editor/commands/avi_commands.h"

#include "automation/automation_objects.h"
#include "controls/xpress.h"
#include "editor/document_window.h"
#include "editor/tool_windows.h"
#include "editor/frame_strip.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/main_window.h"
#include "editor/model/files.h"
#include "editor/property_panel.h"
#include "editor/qt_services.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace movinta::wiring {

using automation::AutomationError;
using automation::kErrorFailed;

using editor::SharedImage;
using editor::TfrmMain;
using editor::TMDIChild;

namespace {

// The Windows message box: buttons in the low four bits, the icon in the next four, results
// IDOK 1, IDCANCEL 2, IDABORT 3, IDRETRY 4, IDIGNORE 5, IDYES 6, IDNO 7, IDTRYAGAIN 10, IDCONTINUE 11.
// Buttons Qt has no standard one for carry their own text.
struct ButtonCode {
  QMessageBox::StandardButton Button;
  int Result;
  const char* Text = nullptr;
  QMessageBox::ButtonRole Role = QMessageBox::InvalidRole;
};

std::vector<ButtonCode> ButtonsOf(int flags) {
  using B = QMessageBox;
  switch (flags & 0xF) {
    case 1: return {{B::Ok, 1}, {B::Cancel, 2}};
    case 2: return {{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}};
    case 3: return {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}};
    case 4: return {{B::Yes, 6}, {B::No, 7}};
    case 5: return {{B::Retry, 4}, {B::Cancel, 2}};
    case 6:
      return {{B::Cancel, 2},
              {B::NoButton, 10, "&Try Again", B::AcceptRole},
              {B::NoButton, 11, "&Continue", B::AcceptRole}};
    default: return {{B::Ok, 1}};
  }
}

QMessageBox::Icon IconOf(int flags) {
  switch (flags & 0xF0) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

TfrmMain& MainWindowHost::Main() const {
  if (!main_) throw AutomationError(kErrorFailed, QStringLiteral("The main window has closed"));
  return *main_;
}

editor::TDocuments& MainWindowHost::Documents() { return Main().Documents(); }

// A popup menu's own event loop counts as a dialog: what it runs next was chosen on the state it showed. The
// main window is disabled while a progress window shows.
bool MainWindowHost::Busy() const {
  return Working() || QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
         (main_ && !main_->isEnabled());
}

bool MainWindowHost::Working() const { return editor::BusyScope::Running(); }

bool MainWindowHost::Playing() const { return main_ && main_->Player() && main_->Player()->Playback().Playing(); }

QRect MainWindowHost::WindowRect() const { return Main().geometry(); }
void MainWindowHost::SetWindowRect(const QRect& rect) { Main().setGeometry(rect); }

int MainWindowHost::WindowState() const {
  if (Main().isMinimized()) return 1;
  if (Main().isMaximized()) return 2;
  return 0;
}

void MainWindowHost::SetWindowState(int state) {
  switch (state) {
    case 1: Main().showMinimized(); break;
    case 2: Main().showMaximized(); break;
    default: Main().showNormal(); break;
  }
}

qulonglong MainWindowHost::WindowId() const {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
  return static_cast<qulonglong>(Main().winId());
}

void MainWindowHost::BringToFront() {
  Main().raise();
  Main().activateWindow();
}

void MainWindowHost::SendToBack() { Main().lower(); }
void MainWindowHost::Quit() { Main().close(); }

void MainWindowHost::ShowProgress() {
  Main().ProgressBar()->show();
  Main().statusBar()->repaint();
}

void MainWindowHost::HideProgress() {
  Main().ProgressBar()->hide();
  Main().ProgressBar()->setValue(0);
}

void MainWindowHost::SetProgress(int position) {
  Main().ProgressBar()->setValue(position);
  Main().statusBar()->repaint();
}

void MainWindowHost::SetStatusText(const QString& text) {
  Main().SetStatusText(text, 2);
  Main().statusBar()->repaint();
}

QString MainWindowHost::InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(&Main(), caption, prompt, QLineEdit::Normal, defaultText, &ok);
  return ok ? text : defaultText;
}

int MainWindowHost::MessageBox(const QString& text, const QString& caption, int flags) {
  QMessageBox box(IconOf(flags), caption, text, QMessageBox::NoButton, &Main());
  const std::vector<ButtonCode> buttons = ButtonsOf(flags);
  std::vector<QAbstractButton*> made;
  for (const ButtonCode& b : buttons)
    made.push_back(b.Text ? static_cast<QAbstractButton*>(box.addButton(QString::fromLatin1(b.Text), b.Role))
                          : box.addButton(b.Button));
  box.exec();
  for (std::size_t i = 0; i < made.size(); ++i)
    if (made[i] == box.clickedButton()) return buttons[i].Result;
  // Closed without a button: Cancel where it is offered, else the only button.
  for (const ButtonCode& b : buttons)
    if (b.Result == 2) return 2;
  return buttons.front().Result;
}

void MainWindowHost::NewDocument() { Main().NewEmptyDocument(); }

bool MainWindowHost::OpenFile(const QString& path) {
  TfrmMain& main = Main();
  if (editor::GetFileTypeCode(path) == editor::kFileTypeGif) return main.OpenGifDocument(path);
  // Other files become frames of the active animation: opened when one was added.
  // Serials, not pointers: the call may wait on a message box while documents come and go.
  auto activeSerial = [&main] { return main.Documents().Active() ? main.Documents().Active()->Serial : 0; };
  const std::uint64_t before = activeSerial();
  const int frames = SharedImage()->Images().GetCount();
  main.OpenFileByType(path);
  return activeSerial() != before || SharedImage()->Images().GetCount() != frames;
}

bool MainWindowHost::IsFileOpen(const QString& path) { return Main().BringOpenDocumentToFront(path); }

bool MainWindowHost::CloseAll() {
  if (Main().FileCloseAll->isEnabled()) Main().FileCloseAll->trigger();
  return Main().Documents().Count() == 0;
}

bool MainWindowHost::SaveAll() {
  if (Main().FileSaveAll->isEnabled()) Main().FileSaveAll->trigger();
  return !Main().Documents().AnyChildModified();
}

void MainWindowHost::NextDocument() { Main().MdiArea()->activateNextSubWindow(); }
void MainWindowHost::PreviousDocument() { Main().MdiArea()->activatePreviousSubWindow(); }

bool MainWindowHost::ActivateDocument(TMDIChild* document) {
  TfrmMain& main = Main();
  if (QMdiSubWindow* sub = main.SubWindowFor(document)) main.MdiArea()->setActiveSubWindow(sub);
  return main.Documents().Active() == document;
}

int MainWindowHost::DocumentIndex() const {
  const editor::TDocuments& documents = Main().Documents();
  return documents.IndexOf(documents.Active());
}

void MainWindowHost::SetDocumentIndex(int index) {
  editor::TDocuments& documents = Main().Documents();
  if (index >= 0 && index < documents.Count()) ActivateDocument(documents.At(index));
}

int MainWindowHost::TabIndexForFile(const QString& fileName) const {
  return Main().Documents().FindOpenDocument(fileName);
}

void MainWindowHost::Cascade() { Main().MdiArea()->cascadeSubWindows(); }
// The window's own tilings, as the Window menu's Tile Horizontally (one above the other) and
// Tile Vertically (side by side) run them.
void MainWindowHost::TileHorizontal() { Main().TileChildren(1); }
void MainWindowHost::TileVertical() { Main().TileChildren(0); }

QString MainWindowHost::CurrentFolder() const {
  return editor::the_frmThumbWin ? editor::the_frmThumbWin->Folder() : QString();
}

void MainWindowHost::SetCurrentFolder(const QString& folder) {
  if (editor::the_frmThumbWin) editor::the_frmThumbWin->SelectFolder(folder);
}

bool MainWindowHost::ThumbnailsShowing() const {
  return editor::the_frmThumbWin && editor::the_frmThumbWin->isVisible();
}

void MainWindowHost::SetThumbnailsShowing(bool showing) { Main().ImageBrowser().ShowThumbWindow(showing); }

bool MainWindowHost::ExplorerShowing() const {
  return editor::the_frmThumbWin && editor::the_frmThumbWin->ExplorerVisible();
}

void MainWindowHost::SetExplorerShowing(bool showing) {
  if (editor::the_frmThumbWin) editor::the_frmThumbWin->SetExplorerVisible(showing);
}

void MainWindowHost::LoadThumbnails(const QString& folder) { Main().ImageBrowser().ScanImageFolder(folder); }

QString MainWindowHost::ThumbnailFileName() const { return Main().ImageBrowser().GetSelectedThumbPath(); }

bool MainWindowHost::ImageSize(const QString& file, int& width, int& height) {
  TXpress* control = Main().Imaging();
  control->SetFileName(file);
  const bool ok = control->GetErrorCode() == 0;
  width = ok ? control->GetImageWidthLong() : 0;
  height = ok ? control->GetImageHeightLong() : 0;
  control->ClearImage();
  return ok;
}

bool MainWindowHost::ShellExecute(const QString& file) { return editor::RunShellFile(file); }

QList<QAction*> MainWindowHost::MenuItems() const { return Main().menuBar()->actions(); }

void MainWindowHost::Undo() {
  if (Main().EditUndo->isEnabled()) Main().EditUndo->trigger();
}

bool MainWindowHost::ShowFrame(int index) {
  TfrmMain& main = Main();
  if (index < 0 || index >= SharedImage()->Images().GetCount()) return false;
  main.SetSelection(index, index);
  main.ShowFrame(index);
  return true;
}

QImage MainWindowHost::CurrentBitmap() {
  const TMDIChild* document = Main().Documents().Active();
  if (!document || document->CurrentFrame < 0 || document->CurrentFrame >= SharedImage()->Images().GetCount())
    return {};
  return editor::RenderFrame(*SharedImage(), document->CurrentFrame);
}

bool MainWindowHost::CloseActive() {
  TfrmMain& main = Main();
  if (!main.Documents().Active()) return false;
  const std::uint64_t serial = main.Documents().Active()->Serial;
  main.FileClose->trigger();
  for (int i = 0; i < main.Documents().Count(); ++i)
    if (main.Documents().At(i)->Serial == serial) return false;
  return true;
}

void MainWindowHost::PlayAnimation() { Main().Player()->Playback().Play(); }
void MainWindowHost::StopAnimation() { Main().Player()->Playback().Stop(true); }

int MainWindowHost::InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) {
  return Main().FrameCommands().InsertBitmapFrame(bitmap, position, caption);
}

bool MainWindowHost::AddFrameNoPrompts(const gif::Bitmap& bitmap, int delay) {
  return Main().FrameCommands().InsertBitmapAt(*SharedImage(), bitmap, delay);
}

void MainWindowHost::SetLoopCount(int plays) {
  TfrmMain& main = Main();
  main.FrameCommands().ApplyLoopChange(plays == 0, plays);
  if (main.PropertyPanel()) main.PropertyPanel()->SetLoopControls(-1);
}

void MainWindowHost::DeleteFrame(int index) {
  TfrmMain& main = Main();
  TMDIChild* document = main.Documents().Active();
  if (!document) return;
  document->DeleteFrame(index);
  const int count = SharedImage()->Images().GetCount();
  main.FrameCountChanged(count);
  const int selected = std::clamp(main.SelectedFrame(), 0, std::max(0, count - 1));
  main.SetSelection(selected, selected);
  main.ShowFrame(selected);
}

void MainWindowHost::FramesChanged() {
  TfrmMain& main = Main();
  main.RepaintFrames();
  main.ShowFrame(main.SelectedFrame());
}

bool MainWindowHost::ExportToAvi() { return Main().AviCommands().mniFileExportAVIClick(); }
bool MainWindowHost::ImportFromAvi(const QString& file) { return Main().AviCommands().ImportAvi(file); }

void MainWindowHost::SetWindowEnabled(bool enabled) {
  if (main_) main_->setEnabled(enabled);
}

QMenu* MainWindowHost::PluginsMenu() const { return Main().PluginsMenu(); }

QAction* MainWindowHost::PluginInfoItem() const { return Main().mniHelPluginInfo; }

void MainWindowHost::UpdateDocumentMenus() { Main().UpdateDocumentMenus(); }

}  // namespace movinta::wiring
