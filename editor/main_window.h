// The main window: the MDI area with the document windows, the menus, toolbars and status bar, the
// frame panel below the documents, the start page shown while no document is open, and the settings
// read at creation and written at exit. It wires its actions to the command groups of
// editor/commands, filling the hooks each group asks of it; the parts it owns (menus and actions,
// their updates, toolbars, status panels, document windows, frame panel) live in files of their own.
#pragma once

#include "editor/action_updates.h"
#include "editor/commands/export_commands.h"
#include "editor/commands/flash_commands.h"
#include "editor/commands/frame_actions.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/commands/open_commands.h"
#include "editor/commands/options_and_wizard_commands.h"
#include "editor/commands/save_commands.h"
#include "editor/document_windows.h"
#include "editor/forms/frame_inspector.h"
#include "editor/frame_panel.h"
#include "editor/image_import.h"
#include "editor/main_actions.h"
#include "editor/main_toolbars.h"
#include "editor/model/document.h"
#include "editor/model/resource_library.h"
#include "editor/model/settings.h"
#include "editor/qt_services.h"
#include "editor/status_panels.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMimeData;
class QProgressBar;
class QSplitter;
class QToolBar;
class TXpress;

namespace ptshell {
class TPTFolderBrowseDlg;
}

namespace movinta::editor {

class AnimatedPicture;
class TToolWindowKeeper;
class TAviCommands;
class TDocumentTabs;
class TMDIChildWindow;
namespace forms {
class QtEditDialogs;
}

struct MainWindowOptions {
  // The window answers the model's messages, file choices and progress; tests install their own.
  bool InstallServices = true;
  // Settings are read at creation and written at exit, and the deferred start-up reads its own.
  bool UseSettingsStore = true;
  // The welcome dialog ends the deferred start-up (unless "WelcomeDialog" says not to); the
  // program turns it on (SetWelcomeOnStartup), windows made by tests do not show it.
  bool WelcomeOnStartup = false;
  // The resource file with the splash, start-page and wizard pictures.
  QString ResourceLibrary = QString::fromLatin1(kResourceLibrary);
};

class TfrmMain : public QMainWindow, public IEditorView, public IImportHost, public forms::IInspectorHost {
  Q_OBJECT
  // First, for the action members below name its actions.
  TMainActions actions_;

public:
  explicit TfrmMain(bool installServices = true, QWidget* parent = nullptr);
  explicit TfrmMain(const MainWindowOptions& options, QWidget* parent = nullptr);
  ~TfrmMain() override;

  TDocuments& Documents() { return documents_; }
  // File ▸ Import ▸ AVI Animation and File ▸ Export ▸ As AVI Animation.
  TAviCommands& AviCommands() { return *aviCommands_; }
  QMdiArea* MdiArea() const { return mdi_; }
  TMDIChildWindow* WindowFor(const TMDIChild* document) const { return documentWindows_->WindowFor(document); }
  QMdiSubWindow* SubWindowFor(const TMDIChild* document) const { return documentWindows_->SubWindowFor(document); }
  // Asks the model to close the document; false when the user keeps it.
  bool CloseDocument(TMDIChild* document) { return documentWindows_->Close(document); }
  // Opens a GIF as a document, or brings it to the front when it is open; the document or null.
  TMDIChild* OpenFile(const QString& fileName) { return openCommands_->OpenFile(fileName); }

  // Opening files (see TOpenCommands).
  TOpenCommands& OpenCommands() { return *openCommands_; }
  void OpenFileByType(const QString& path) { openCommands_->OpenFileByType(path); }
  bool OpenGifDocument(const QString& path) override { return openCommands_->OpenGifDocument(path); }
  bool BringOpenDocumentToFront(const QString& path) { return openCommands_->BringOpenDocumentToFront(path); }
  bool DropFiles(const QMimeData* data) { return openCommands_->DropFiles(data); }
  void FileOpenExecute() { openCommands_->FileOpenExecute(); }
  void FileNewExecute() { openCommands_->FileNewExecute(); }
  void NewEmptyDocument() { openCommands_->NewEmptyDocument(); }
  // Chooses the files of the open command: the shell's open dialog unless a test replaces it.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  void OpenDlgPreviewSelectItem() { openCommands_->OpenDlgPreviewSelectItem(); }
  QLabel* PreviewLabel() const { return openCommands_->PreviewLabel(); }

  // The image browser's thumbnails, commands and favourite folders.
  TImageBrowserCommands& ImageBrowser() { return *browser_; }

  // Recent files: newest first, at most ten.
  void AddRecentFile(const QString& path) { openCommands_->AddRecentFile(path); }
  QStringList RecentFiles() const { return openCommands_->RecentFiles(); }
  QMenu* RecentFilesMenu() const { return openCommands_->RecentFilesMenu(); }
  void RecentFileClick(QAction* item) { openCommands_->RecentFileClick(item); }

  // Dialogs of the options, the wizards and the tips (see TOptionsAndWizardCommands).
  // Runs a modal dialog; replaceable for tests.
  std::function<int(QDialog&)> RunDialog;
  TOptionsAndWizardCommands& OptionsAndWizards() { return *optionsCommands_; }
  void mniToolsOptionsClick() { optionsCommands_->mniToolsOptionsClick(); }
  void mniHelpAboutClick() { optionsCommands_->mniHelpAboutClick(); }
  void mniHelpTipsClick() { optionsCommands_->mniHelpTipsClick(); }
  void mniHelpWelcomeClick() { optionsCommands_->mniHelpWelcomeClick(); }
  void mniHelPluginInfoClick() { optionsCommands_->mniHelPluginInfoClick(); }
  // Loads the add-ins near the end of the deferred start-up; set by the automation server.
  std::function<void()> LoadPlugins;
  // The "Plug-ins" menu and the "Plugin Info..." item, which show once add-ins are loaded.
  QMenu* PluginsMenu() const { return actions_.Plugins; }
  QAction* const& mniHelPluginInfo = actions_.mniHelPluginInfo;
  bool OrganizeFavorites() { return optionsCommands_->OrganizeFavorites(); }
  bool OptimizeActiveDocument(int saveTag = -1) { return optionsCommands_->OptimizeActiveDocument(saveTag); }
  bool RunOptimizeWizard() { return optionsCommands_->RunOptimizeWizard(); }

  // Start-up.
  // The file of the command line, opened by the deferred start-up once every window exists.
  void SetCommandLineFile(const QString& path) { pendingFile_ = path; }
  // A program started for automation shows no welcome dialog: nobody may be there to answer it.
  void SetWelcomeOnStartup(bool on) { options_.WelcomeOnStartup = on; }
  void DeferredStartup();
  bool StartPageShown() const;
  AnimatedPicture* StartPicture() const { return imgAni_; }
  void HideSplash();
  void ShowInspectorOnce();

  // Saving and exporting.
  TSaveCommands& SaveCommands() { return *saveCommands_; }
  TExportCommands& ExportCommands() { return *exportCommands_; }
  void FileSaveExecute() { saveCommands_->FileSaveExecute(); }
  void FileSaveAsExecute() { saveCommands_->FileSaveAsExecute(); }
  void FileSaveAllExecute() { saveCommands_->FileSaveAllExecute(); }
  // The Export menu: its frame exports are enabled only while the working image has frames.
  QMenu* ExportMenu() const { return actions_.Export; }
  // Save As and its GIF and Flash items: a document with frames, while nothing plays.
  bool SaveAsEnabled();
  void mniFileExportClick() { updates_->UpdateExportMenu(); }
  void mniFileExportHTMLClick() { exportCommands_->mniFileExportHTMLClick(); }
  // The image exporter over the frames of the strip, shown modally.
  void mniFileExportImageClick();
  // File > Save As, also the drop-down of the "Save As" tool button; other save formats add their
  // items to it.
  QMenu* SaveAsMenu() const { return actions_.SaveAsFormats; }
  void ToolButton2Click();

  // Document tabs and windows.
  TDocumentTabs* DocumentTabs() const { return tabMDI_; }
  QWidget* MdiTabPanel() const { return pnlMDITab_; }
  // The tab (and document) index of the open document with this full file name, or -1.
  int TabIndexForFile(const QString& fileName) const;
  // The line between the documents and the panel with the property tabs and the frame strip.
  QSplitter* FramePanelSplitter() const { return hsp_; }
  int DocumentIndex(const TMDIChild* document) const { return documents_.IndexOf(document); }
  // Brings the document's window to the front at once; the working image switches with it.
  void ActivateChild(TMDIChild* document);
  // Mode 0 puts the document windows side by side, 1 one above the other.
  void TileChildren(int mode = 0);
  // File > Close, Close All (from the window at the back to the one in front, each asking to save;
  // a cancel keeps that document and every one not yet closed) and Exit.
  void FileCloseExecute();
  void FileCloseAllExecute();
  void FileExitExecute();
  // The active document's full file name; empty without one.
  QString ActiveDocumentFileName() const;
  // The window as it is without documents: no tabs, an empty strip and inspector, the document
  // commands off; the timer then settles the menus.
  void ResetAfterLastClose();
  void WindowNextDocExecute();
  void WindowPrevDocExecute();
  void MinimizeAll();
  void ArrangeAll();

  // Menus and status bar.
  // Recomputes every action's enabled and checked state from the editor's state.
  void UpdateActions() { updates_->Update(); }
  // The state may have changed: the actions are brought in line when the event loop next idles.
  void ActionsMayHaveChanged() { updates_->MayHaveChanged(); }
  bool Playing() const;
  QMenu* WindowMenu() const { return actions_.Window; }
  // Document-dependent menu items (help context 1) are enabled exactly while a document is active.
  void UpdateDocumentMenus() { updates_->UpdateDocumentMenus(); }
  void TimerTimer();
  QTimer& Timer() { return timer_; }
  void SetStatusText(const QString& text, int panel) { statusPanels_->SetText(text, panel); }
  QString StatusTextOf(int panel) const { return statusPanels_->Text(panel); }
  QProgressBar* ProgressBar() const { return statusPanels_->ProgressBar(); }
  // What the window installs as the progress sink: the bar and hint panel of its status bar.
  IProgress* StatusProgress() const { return statusPanels_->Progress(); }
  // The toolbar with the tag: 0 Standard, 1 Frame, 2 Animation.
  QToolBar* Toolbar(int tag) const { return toolbars_->Toolbar(tag); }
  // Where a toolbar lies among the toolbar rows below the menu bar, as the settings keep it.
  QPoint ToolbarPlace(int tag) const { return toolbars_->Place(tag); }
  // View > Toolbars: the item's tag names its toolbar (0 Standard, 1 Animation, 2 Frame), which
  // follows the item's check.
  void mniViewTBStrdClick(QAction* item) { toolbars_->ItemClicked(item); }
  QList<QAction*> ToolbarItems() const { return toolbars_->Items(); }
  // Tools > Frame Inspector shows or hides the inspector as its check says.
  void mniToolInspectorClick();
  // Tools > HTML Code: enabled with a document while no animation plays; makes the image tag of
  // the active document.
  void mniToolsClick() { updates_->UpdateToolsMenu(); }
  void mniToolsHTMLClick() { optionsCommands_->mniToolsHTMLClick(); }
  // Help > Contents, the web items and Live Help open the help or the maker's pages; add-ins add
  // their item to this menu.
  QMenu* HelpMenu() const { return mnuHelp_; }

  // The hidden imaging control that reads image files the GIF library cannot.
  TXpress* Imaging() override { return imgX_; }

  // The menus' actions (see TMainActions).
  QAction* const& FileNew = actions_.FileNew;
  QAction* const& FileOpen = actions_.FileOpen;
  QAction* const& FileSave = actions_.FileSave;
  QAction* const& FileSaveAs = actions_.FileSaveAs;
  QAction* const& FileSaveAll = actions_.FileSaveAll;
  QAction* const& FileClose = actions_.FileClose;
  QAction* const& FileCloseAll = actions_.FileCloseAll;
  QAction* const& FileExit = actions_.FileExit;
  QAction* const& EditUndo = actions_.EditUndo;
  QAction* const& mniToolInspector = actions_.mniToolInspector;
  QAction* const& mniToolsHTML = actions_.mniToolsHTML;
  QAction* const& FileSaveAsGif = actions_.FileSaveAsGif;
  QAction* const& WindowNextDoc = actions_.WindowNextDoc;
  QAction* const& WindowPrevDoc = actions_.WindowPrevDoc;
  QAction* const& WindowCascade = actions_.WindowCascade;
  QAction* const& WindowTileHorizontal = actions_.WindowTileHorizontal;
  QAction* const& WindowTileVertical = actions_.WindowTileVertical;
  QAction* const& WindowMinimizeAll = actions_.WindowMinimizeAll;
  QAction* const& WindowArrangeAll = actions_.WindowArrangeAll;
  // View > Show/Hide Image Browser, the image browser's own.
  QAction* ThumbView = nullptr;

  // IEditorView
  int SelectedFrame() const override { return framePanel_ ? framePanel_->Selected() : 0; }
  void SetSelectedFrame(int index) override { SetSelection(index, index); }
  void FrameCountChanged(int count) override {
    if (framePanel_) framePanel_->FrameCountChanged(count);
  }
  int SelectionFirst() const override { return framePanel_ ? framePanel_->SelectionFirst() : 0; }
  int SelectionLast() const override { return framePanel_ ? framePanel_->SelectionLast() : 0; }
  void SetSelection(int first, int last) override {
    if (framePanel_) framePanel_->SetSelection(first, last);
  }
  void RepaintFrames() override {
    if (framePanel_) framePanel_->RepaintCells();
  }
  // The frames with a cell in the strip.
  int FrameColumns() const { return framePanel_ ? framePanel_->Columns() : 0; }
  // The frame and animation commands, the strip and the panel at the bottom of the window.
  TFrameCommands& FrameCommands() { return *frameCommands_; }
  TFrameStrip* FrameStrip() const { return grdFrames_; }
  TPropertyPanel* PropertyPanel() const { return tabFrames_; }
  TAnimationPlayer* Player() const { return player_.get(); }
  void ShowFrame(int index) override;
  void DocumentLoaded(TMDIChild* document) override;
  void DocumentStateChanged(TMDIChild* document) override;
  void DocumentAdded(TMDIChild* document) override;
  void DocumentRemoved(TMDIChild* document) override;
  void StatusText(int panel, const QString& text) override { SetStatusText(text, panel); }

  // IImportHost
  int InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) override;
  int InsertPosition() const override;
  bool HasDocument() const override { return documents_.Active() != nullptr; }
  bool OpenAsNew() const override { return openAsNew_; }
  void SetOpenAsNew(bool on) { openAsNew_ = on; }
  void BringActiveDocumentToFront() override;
  void ActiveDocumentChanged() override;

  // forms::IInspectorHost
  TMDIChild* ActiveDocument() const override { return documents_.Active(); }
  void ReloadActiveDocument() override;
  void RepaintFrameStrip() override;
  void PausePlayback() override;
  void InspectorClosed() override;
  forms::TfrmFloat* Inspector() const { return inspector_; }

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool event(QEvent* event) override;

private:
  void FormCreate();
  void FormDestroy();
  void BuildActions();
  void BuildOpenCommands();
  void BuildSaveExportAndAviCommands();
  void BuildFrameStrip();
  void BuildImageBrowser(QMenu* view);
  void UpdateFrameActions();
  void ApplySettings();
  MainWindowSettings CurrentSettings() const;
  void ShowStartPage();
  void BuildOptionsAndWizardCommands();
  void ApplyToolbarStyle(bool flat) { toolbars_->ApplyStyle(flat); }
  void SubWindowActivated(QMdiSubWindow* sub);
  void UpdateCommands() { UpdateActions(); }
  void BuildActionUpdates();
  QString ProgramFolder() const;
  // Gives the frame panel its height: the stored one, else its own, so far as the documents keep
  // their room.
  void PlaceFramePanel();
  // A frame size chosen in the menu: the panel takes the height of the new cells.
  void FrameSizeChosen();

  MainWindowOptions options_;
  TDocuments documents_;
  QMdiArea* mdi_ = nullptr;
  QWidget* pnlMDITab_ = nullptr;
  QSplitter* hsp_ = nullptr;
  int framePanelHeight_ = 0;       // stored height of the frame panel; 0 for its own
  bool framePanelMoved_ = false;  // the user placed the splitter: it stays there
  TDocumentTabs* tabMDI_ = nullptr;
  std::unique_ptr<TSaveCommands> saveCommands_;
  std::unique_ptr<TExportCommands> exportCommands_;
  std::unique_ptr<TStatusPanels> statusPanels_;
  QWidget* pnlSplash_ = nullptr;
  AnimatedPicture* imgAni_ = nullptr;
  TXpress* imgX_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  std::unique_ptr<TMainToolbars> toolbars_;
  QTimer timer_;
  std::unique_ptr<TActionUpdates> updates_;
  std::unique_ptr<TDocumentWindows> documentWindows_;
  MainWindowSettings settings_;
  QString pendingFile_;
  int tag_ = 0;  // 1: the inspector was hidden once and comes back with the first frame shown
  bool openAsNew_ = false;  // the last thumbnail drop landed outside every document window
  bool startupPosted_ = false;
  bool displayAnimation_ = true;

  std::unique_ptr<QtMessageRoutine> messages_;
  std::unique_ptr<IFileChooser> chooser_;
  std::unique_ptr<QtClipboard> clipboard_;
  std::unique_ptr<forms::QtEditDialogs> editDialogs_;
  IEditDialogs* previousDialogs_ = nullptr;
  IEditorView* previousView_ = nullptr;

  // Declared last so that they go first, while the documents they work on still exist.
  std::unique_ptr<QtFrameClipboard> frameClipboard_;
  std::unique_ptr<TFrameCommands> frameCommands_;
  std::unique_ptr<TFramePanel> framePanel_;
  std::unique_ptr<TAnimationPlayer> player_;
  TFrameStrip* grdFrames_ = nullptr;
  TPropertyPanel* tabFrames_ = nullptr;
  QPointer<forms::TfrmFloat> inspector_;
  TToolWindowKeeper* toolWindows_ = nullptr;
  TFrameActions frameActions_;
  TImageBrowserCommands* browser_ = nullptr;
  std::unique_ptr<ptshell::TPTFolderBrowseDlg> dlgBrowseDir_;
  TFlashCommands flashActions_{documents_, this};
  std::unique_ptr<TAviCommands> aviCommands_;
  std::unique_ptr<TOpenCommands> openCommands_;
  std::unique_ptr<TOptionsAndWizardCommands> optionsCommands_;
};

extern QPointer<TfrmMain> the_frmMain;

inline constexpr const char* kMainWindowTitle = "Larkspur GIF Movinta 6.0";
// The dialogs behind the frame commands, with the optimisation wizard of `main`.
std::unique_ptr<IEditDialogs> NewMainEditDialogs(TfrmMain* main);

}  // namespace movinta::editor
