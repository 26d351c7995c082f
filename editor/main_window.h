// The main window: the MDI area with the document windows, the menus, toolbars and status bar with
// its progress bar, the start page shown while no document is open, opening files by their type
// (command line, open dialog, recent files, drops), and the settings read at creation and written at
// exit. The frame strip and property panel join it later.
#pragma once

#include "editor/commands/flash_commands.h"
#include "editor/forms/frame_inspector.h"
#include "editor/commands/frame_actions.h"
#include "editor/image_browser_commands.h"
#include "editor/image_import.h"
#include "editor/model/document.h"
#include "editor/model/resource_library.h"
#include "editor/model/settings.h"
#include "editor/commands/export_commands.h"
#include "editor/qt_services.h"
#include "editor/commands/save_commands.h"

#include <QHash>
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
class QScrollArea;
class QSplitter;
class QToolBar;
class TXpress;

namespace ptshell {
class TPTDialog;
class TPTFolderBrowseDlg;
class TPTFrmOpenDlg;
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
public:
  explicit TfrmMain(bool installServices = true, QWidget* parent = nullptr);
  explicit TfrmMain(const MainWindowOptions& options, QWidget* parent = nullptr);
  ~TfrmMain() override;

  TDocuments& Documents() { return documents_; }
  // File ▸ Import ▸ AVI Animation and File ▸ Export ▸ As AVI Animation.
  TAviCommands& AviCommands() { return *aviCommands_; }
  QMdiArea* MdiArea() const { return mdi_; }
  TMDIChildWindow* WindowFor(const TMDIChild* document) const;
  QMdiSubWindow* SubWindowFor(const TMDIChild* document) const;
  // Asks the model to close the document; false when the user keeps it.
  bool CloseDocument(TMDIChild* document);
  // Opens a GIF as a document, or brings it to the front when it is open; the document or null.
  TMDIChild* OpenFile(const QString& fileName);

  // Opening files.
  // Opens the file by its type: a GIF as a document, another image as a frame, anything else refused.
  void OpenFileByType(const QString& path);
  bool OpenGifDocument(const QString& path) override;
  // Beeps and brings the document to the front when that file is open.
  bool BringOpenDocumentToFront(const QString& path);
  // Reads a non-GIF image file and adds it as a frame of the active animation (a new one without).
  void InsertImageFile(const QString& path, std::uint8_t code);
  // Local files of a drop, opened by type in order; false when the drop holds none.
  bool DropFiles(const QMimeData* data);
  void FileOpenExecute();
  // Runs the new-animation wizard, which opens the animation it makes as a new document.
  void FileNewExecute();
  // A new empty animation without asking anything (automation, which no dialog may stop).
  void NewEmptyDocument();
  // Chooses the files of the open command: the shell's open dialog unless a test replaces it.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  // The open dialog's preview (unless NoOpenDlgPreview): the imaging control and its label join
  // the dialog while it runs and come back when it closes.
  void PTOpenDlg1Initialized(ptshell::TPTDialog* sender);
  void OpenDlgPreviewSelectItem();
  void SplitterShellMoved();
  void PTOpenDlg1FormClose();
  QLabel* PreviewLabel() const { return lblShell_; }

  // The image browser's thumbnails, commands and favourite folders.
  TImageBrowserCommands& ImageBrowser() { return *browser_; }
  // Reads the file by its type and inserts it after the selected frame; the new index or -1.
  int InsertImageFileAfterSelection(const QString& path);

  // Recent files: newest first, at most ten.
  void AddRecentFile(const QString& path);
  void RemoveRecentFile(const QString& path);
  QStringList RecentFiles() const;
  QMenu* RecentFilesMenu() const { return mniFileRecent_; }
  void RecentFileClick(QAction* item);

  // Dialogs of the options, the wizards and the tips; each returns the dialog's result.
  // Runs a modal dialog; replaceable for tests.
  std::function<int(QDialog&)> RunDialog;
  void mniToolsOptionsClick();
  // The options dialog on its about page.
  void mniHelpAboutClick();
  void mniHelpTipsClick();
  // The welcome dialog: a new animation, the open command or a recent file.
  void mniHelpWelcomeClick();
  // The add-ins the editor loaded, in the "Plugin Information" dialog.
  void mniHelPluginInfoClick();
  // Loads the add-ins near the end of the deferred start-up; set by the automation server.
  std::function<void()> LoadPlugins;
  // The "Plug-ins" menu and the "Plugin Info..." item, which show once add-ins are loaded.
  QMenu* PluginsMenu() const { return mnuPlugins_; }
  QAction* mniHelPluginInfo = nullptr;
  // The image browser's favourite folders in the options dialog's favourites mode; true when the
  // user changed them (they are then stored at once).
  bool OrganizeFavorites();
  // The same over a list of folders, which takes the organised list; the image browser's
  // "Organize Favorites" runs it.
  bool OrganizeFavoriteFolders(QStringList& folders);
  // The optimisation wizard over the active document, as Animation > Optimize runs it; true when
  // the animation was optimised (replaced, or opened as a new document). saveTag names the save
  // command whose dialog asks (0 Save, 1 Save As), which offers only its own output; -1 none.
  bool OptimizeActiveDocument(int saveTag = -1);
  // The wizard itself, which the frame commands open after they have prepared the document.
  bool RunOptimizeWizard();
  // Turns the GIF library's warnings on the working image on or off.
  void SetGifWarnings(bool on);

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
  QMenu* ExportMenu() const { return mniFileExport_; }
  // Save As and its GIF and Flash items: a document with frames, while nothing plays.
  bool SaveAsEnabled();
  void mniFileExportClick();
  void mniFileExportHTMLClick() { exportCommands_->mniFileExportHTMLClick(); }
  // The image exporter over the frames of the strip, shown modally.
  void mniFileExportImageClick();
  // File > Save As, also the drop-down of the "Save As" tool button; other save formats add their
  // items to it.
  QMenu* SaveAsMenu() const { return popSaveAs_; }
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
  void UpdateActions();
  // The state may have changed: the actions are brought in line when the event loop next idles.
  void ActionsMayHaveChanged();
  bool Playing() const;
  QMenu* WindowMenu() const { return mnuWindow_; }
  // Document-dependent menu items (help context 1) are enabled exactly while a document is active.
  void UpdateDocumentMenus();
  void TimerTimer();
  QTimer& Timer() { return timer_; }
  void SetStatusText(const QString& text, int panel);
  QString StatusTextOf(int panel) const;
  QProgressBar* ProgressBar() const { return prgBar_; }
  // What the window installs as the progress sink: the bar and hint panel of its status bar.
  IProgress* StatusProgress() const { return progress_.get(); }
  // The toolbar with the tag: 0 Standard, 1 Frame, 2 Animation.
  QToolBar* Toolbar(int tag) const;
  // Where a toolbar lies among the toolbar rows below the menu bar, as the settings keep it.
  QPoint ToolbarPlace(int tag) const;
  // View > Toolbars: the item's tag names its toolbar (0 Standard, 1 Animation, 2 Frame), which
  // follows the item's check.
  void mniViewTBStrdClick(QAction* item);
  QList<QAction*> ToolbarItems() const { return toolbarItems_; }
  // Tools > Frame Inspector shows or hides the inspector as its check says.
  void mniToolInspectorClick();
  // Tools > HTML Code: enabled with a document while no animation plays; makes the image tag of
  // the active document.
  void mniToolsClick();
  void mniToolsHTMLClick();
  // Help > Contents, the web items and Live Help open the help or the maker's pages; add-ins add
  // their item to this menu.
  QMenu* HelpMenu() const { return mnuHelp_; }

  // The hidden imaging control that reads image files the GIF library cannot.
  TXpress* Imaging() override { return imgX_; }

  QAction* FileNew = nullptr;
  QAction* FileOpen = nullptr;
  QAction* FileSave = nullptr;
  QAction* FileSaveAs = nullptr;
  QAction* FileSaveAll = nullptr;
  QAction* FileClose = nullptr;
  QAction* FileCloseAll = nullptr;
  QAction* FileExit = nullptr;
  QAction* EditUndo = nullptr;
  QAction* ThumbView = nullptr;
  QAction* mniToolInspector = nullptr;
  QAction* mniToolsHTML = nullptr;
  QAction* FileSaveAsGif = nullptr;
  QAction* WindowNextDoc = nullptr;
  QAction* WindowPrevDoc = nullptr;
  QAction* WindowCascade = nullptr;
  QAction* WindowTileHorizontal = nullptr;
  QAction* WindowTileVertical = nullptr;
  QAction* WindowMinimizeAll = nullptr;
  QAction* WindowArrangeAll = nullptr;

  // IEditorView
  int SelectedFrame() const override { return selectedFrame_; }
  void SetSelectedFrame(int index) override { SetSelection(index, index); }
  void FrameCountChanged(int count) override;
  int SelectionFirst() const override;
  int SelectionLast() const override;
  void SetSelection(int first, int last) override;
  void RepaintFrames() override;
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
  void BuildStatusBar();
  void BuildFrameStrip();
  void BuildImageBrowser(QMenu* view);
  // A thumbnail dropped on the main window (a new animation) or the strip, inserted by its type.
  void InsertThumbByType(const QString& path, bool onClientArea);
  bool ReadPictureFile(const QString& path, gif::Bitmap& bitmap, QString* error);
  void UpdateFrameActions();
  void ApplySettings();
  MainWindowSettings CurrentSettings() const;
  void ShowStartPage();
  int RunWizards(int mode, int* choice = nullptr, QString* chosenFile = nullptr);
  // The folder-browse dialog for a new favourite, starting at start; empty when cancelled.
  QString ChooseFavoriteFolder(const QString& start);
  void ApplyToolbarStyle(bool flat);
  // The toolbar a View > Toolbars item shows and hides.
  QToolBar* ToolbarOfItem(const QAction* item) const;
  void SubWindowActivated(QMdiSubWindow* sub);
  void UpdateCommands() { UpdateActions(); }
  void ConnectActionUpdates();
  // Closes the document through its window (the model alone for one without); false when kept.
  bool CloseDocumentWindow(TMDIChild* document);
  bool CloseAllDocuments();
  // The serials of the documents in the order closing asks them.
  QList<std::uint64_t> ClosingOrder() const;
  // Asks every modified document whether to save, in closing order, closing none: Yes saves at
  // once, No lets the document close unsaved. False at a cancel or a save that fails or is
  // cancelled; every document stays open then (those saved stay saved).
  bool AskToCloseAllDocuments();
  void RenumberRecentFiles();
  void RebuildRecentPopup();
  void RebuildWindowMenu();
  void InstallWarnings(bool on);
  void GifWarning(const void* sender, int severity, const std::string& message);
  // Reads the GIF for opening, with the warning handler when warnings are on; null when it cannot.
  // Null when the file cannot be read; `tooLarge` says the memory budget refused it.
  std::unique_ptr<TGIFImage> ReadForOpen(const QString& path, bool& tooLarge);
  bool LoadImageIntoWindow(std::unique_ptr<TGIFImage> image, const QString& path);
  QString ProgramFolder() const;
  // Gives the frame panel its height: the stored one, else its own, so far as the documents keep
  // their room.
  void PlaceFramePanel();
  // A frame size chosen in the menu: the panel takes the height of the new cells.
  void FrameSizeChosen();
  // Puts the toolbars into rows and order by their stored places.
  void ArrangeToolbars(const std::array<ToolbarPlacement, 3>& places);
  QAction* DocumentAction(QMenu* menu, const QString& text, const std::function<void()>& handler);

  MainWindowOptions options_;
  TDocuments documents_;
  QMdiArea* mdi_ = nullptr;
  QWidget* pnlMDITab_ = nullptr;
  QSplitter* hsp_ = nullptr;
  int framePanelHeight_ = 0;       // stored height of the frame panel; 0 for its own
  bool framePanelMoved_ = false;  // the user placed the splitter: it stays there
  TDocumentTabs* tabMDI_ = nullptr;
  QMenu* mniFileExport_ = nullptr;
  QAction* mniFileExportImage_ = nullptr;
  QAction* mniFileExportHTML_ = nullptr;
  QMenu* popSaveAs_ = nullptr;
  std::unique_ptr<TSaveCommands> saveCommands_;
  std::unique_ptr<TExportCommands> exportCommands_;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  QLabel* panel2_ = nullptr;
  QProgressBar* prgBar_ = nullptr;
  QWidget* pnlSplash_ = nullptr;
  AnimatedPicture* imgAni_ = nullptr;
  TXpress* imgX_ = nullptr;
  QPointer<QSplitter> SplitterShell_;
  QPointer<QScrollArea> sbxShell_;
  QPointer<QWidget> pnlShell_;
  QPointer<QLabel> lblShell_;
  QPointer<ptshell::TPTFrmOpenDlg> previewForm_;
  QPointer<QWidget> previewList_;
  QMenu* mniFileRecent_ = nullptr;
  QMenu* popRecentFiles_ = nullptr;
  QMenu* mnuWindow_ = nullptr;
  QMenu* mnuPlugins_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QToolBar* tbStandard_ = nullptr;
  QToolBar* tbAnimation_ = nullptr;
  QToolBar* tbFrame_ = nullptr;
  QList<QAction*> toolbarItems_;
  QTimer timer_;
  QTimer actionUpdate_;
  QList<QPointer<QAction>> windowList_;  // the Window menu's numbered documents and the line above them
  QHash<const TMDIChild*, QPointer<QMdiSubWindow>> windows_;
  MainWindowSettings settings_;
  QString openFolder_;
  QString pendingFile_;
  int selectedFrame_ = 0;
  int frameColumns_ = 0;
  int tag_ = 0;  // 1: the inspector was hidden once and comes back with the first frame shown
  bool switching_ = false;
  // Switches the document area asked the documents for: one it asked for and was refused is
  // not asked again, which would tell the user twice.
  int areaSwitches_ = 0;
  int optimizeSaveTag_ = -1;  // while the save dialog's Optimize runs the wizard
  bool openAsNew_ = false;  // the last thumbnail drop landed outside every document window
  bool warnings_ = false;
  bool startupPosted_ = false;
  bool displayAnimation_ = true;

  std::unique_ptr<QtMessageRoutine> messages_;
  std::unique_ptr<IFileChooser> chooser_;
  std::unique_ptr<IProgress> progress_;
  std::unique_ptr<QtClipboard> clipboard_;
  std::unique_ptr<forms::QtEditDialogs> editDialogs_;
  IEditDialogs* previousDialogs_ = nullptr;
  IEditorView* previousView_ = nullptr;

  // Declared last so that they go first, while the documents they work on still exist.
  std::unique_ptr<QtFrameClipboard> frameClipboard_;
  std::unique_ptr<TFrameCommands> frameCommands_;
  std::unique_ptr<TAnimationPlayer> player_;
  TFrameStrip* grdFrames_ = nullptr;
  TPropertyPanel* tabFrames_ = nullptr;
  QPointer<forms::TfrmFloat> inspector_;
  TToolWindowKeeper* toolWindows_ = nullptr;
  FrameActions frameActions_;
  TImageBrowserCommands* browser_ = nullptr;
  std::unique_ptr<ptshell::TPTFolderBrowseDlg> dlgBrowseDir_;
  TFlashCommands flashActions_{documents_, this};
  std::unique_ptr<TAviCommands> aviCommands_;
};

extern QPointer<TfrmMain> the_frmMain;

inline constexpr const char* kMainWindowTitle = "Larkspur GIF Movinta 6.0";
// The dialogs behind the frame commands, with the optimisation wizard of `main`.
std::unique_ptr<IEditDialogs> NewMainEditDialogs(TfrmMain* main);

}  // namespace movinta::editor
