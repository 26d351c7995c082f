#include "editor/main_window.h"
#include "editor/commands/avi_commands.h"

#include "editor/forms/guarded.h"
#include "platform/program_folders/program_folders.h"

#include "controls/xpress.h"
#include "controls/shell/dialogs/ptfolderbrowsedlg.h"
#include "editor/document_tabs.h"
#include "editor/document_window.h"
#include "editor/image_exporter.h"
#include "editor/forms/guarded.h"
#include "editor/help_commands.h"
#include "editor/widget_helpers.h"
#include "editor/window_commands.h"
#include "editor/file_dialogs.h"
#include "editor/forms/edit_dialogs_qt.h"
#include "editor/options_dialog.h"
#include "editor/forms/palette_logic.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/prompts.h"
#include "gif/qt/qimage_adapter.h"
#include "editor/splash_screen.h"
#include "editor/start_page.h"
#include "editor/tool_windows.h"
#include "editor/wizards.h"
#include "editor/model/registry.h"
#include "editor/model/save_rules.h"
#include "editor/model/string_tables.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QSet>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QComboBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace movinta::editor {

QPointer<TfrmMain> the_frmMain;

namespace {

const QColor kWorkspace(0x80, 0x80, 0x80);

// The dialogs behind the frame commands, with the optimisation wizard of this window.
class MainEditDialogs : public forms::QtEditDialogs {
public:
  explicit MainEditDialogs(TfrmMain* main) : forms::QtEditDialogs(main), main_(main) {}
  bool RunOptimizeWizard() override { return main_ && main_->RunOptimizeWizard(); }

private:
  QPointer<TfrmMain> main_;
};

// Swallows every message for the scope: the start page goes without one when its picture is missing.
class SilentMessages : public IMessageRoutine {
public:
  SilentMessages() { previous_ = SetMessageRoutine(this); }
  ~SilentMessages() override { SetMessageRoutine(previous_); }
  int Show(const QString&, MessageType, ButtonSet) override { return mrOk; }

private:
  IMessageRoutine* previous_;
};
}  // namespace

std::unique_ptr<IEditDialogs> NewMainEditDialogs(TfrmMain* main) { return std::make_unique<MainEditDialogs>(main); }

// ---- creation and destruction

TfrmMain::TfrmMain(bool installServices, QWidget* parent)
    : TfrmMain(MainWindowOptions{installServices, installServices, false, QString::fromLatin1(kResourceLibrary)}, parent) {}

TfrmMain::TfrmMain(const MainWindowOptions& options, QWidget* parent) : QMainWindow(parent), options_(options) {
  setObjectName(QStringLiteral("frmMain"));
  FormCreate();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

void TfrmMain::FormCreate() {
  setWindowTitle(QString::fromLatin1(kMainWindowTitle));
  mdi_ = new QMdiArea(this);
  mdi_->setObjectName(QStringLiteral("mdiArea"));
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setBackground(kWorkspace);
  documentWindows_ = std::make_unique<TDocumentWindows>(
      *mdi_, documents_, [this]() -> TSaveDialogHelp& { return saveCommands_->DialogHelp(); });
  // The document tabs sit above the documents and show only while there are any.
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("pnlClient"));
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  pnlMDITab_ = new QWidget(central);
  pnlMDITab_->setObjectName(QStringLiteral("pnlMDITab"));
  auto* tabRow = new QVBoxLayout(pnlMDITab_);
  tabRow->setContentsMargins(2, 2, 2, 0);
  tabMDI_ = new TDocumentTabs(documents_, pnlMDITab_);
  tabRow->addWidget(tabMDI_);
  pnlMDITab_->hide();
  column->addWidget(pnlMDITab_);
  column->addWidget(mdi_, 1);
  // The documents above, the panel with the property tabs and the frame strip below; the user
  // moves the line between them, and the panel keeps its height when the window is resized.
  hsp_ = new QSplitter(Qt::Vertical, this);
  hsp_->setObjectName(QStringLiteral("hsp"));
  hsp_->setChildrenCollapsible(false);
  hsp_->addWidget(central);
  hsp_->setStretchFactor(0, 1);
  connect(hsp_, &QSplitter::splitterMoved, this, Guarded([this] {
    // Like a resize of the window, a move of the line removes the start page.
    framePanelMoved_ = true;
    HideSplash();
  }));
  setCentralWidget(hsp_);
  connect(mdi_, &QMdiArea::subWindowActivated, this, Guarded(this, &TfrmMain::SubWindowActivated));
  tabMDI_->ShowPath = [this](const QString& path) { SetStatusText(path, 2); };
  tabMDI_->ActivateDocument = [this](TMDIChild* d) { ActivateChild(d); };
  tabMDI_->RestoreActiveIfMinimized = [this] {
    if (QMdiSubWindow* sub = SubWindowFor(ActiveDocument()); sub && sub->isMinimized()) sub->showNormal();
  };
  tabMDI_->CanClose = [this] { return FileClose && FileClose->isEnabled(); };
  tabMDI_->CloseDocument = [this](TMDIChild* d) {
    ActivateChild(d);
    if (documents_.IndexOf(d) < 0) return;
    if (QMdiSubWindow* sub = SubWindowFor(d)) sub->close();
  };
  tabMDI_->NextDocument = [this] { WindowNextDocExecute(); };
  tabMDI_->PreviousDocument = [this] { WindowPrevDocExecute(); };

  pnlSplash_ = new QWidget(mdi_);
  pnlSplash_->setObjectName(QStringLiteral("pnlSplash"));
  pnlSplash_->setAutoFillBackground(true);
  QPalette white = pnlSplash_->palette();
  white.setColor(QPalette::Window, Qt::white);
  pnlSplash_->setPalette(white);
  pnlSplash_->hide();
  imgAni_ = new AnimatedPicture(pnlSplash_);
  imgAni_->setObjectName(QStringLiteral("imgAni"));
  imgAni_->hide();

  imgX_ = new TXpress(this);
  imgX_->setObjectName(QStringLiteral("imgX"));
  imgX_->hide();
  statusPanels_ = std::make_unique<TStatusPanels>(*statusBar());
  BuildOpenCommands();

  previousView_ = SetEditorView(this);
  if (options_.InstallServices) {
    messages_ = std::make_unique<QtMessageRoutine>(this);
    chooser_ = std::make_unique<ShellFileChooser>(this, options_.UseSettingsStore);
    clipboard_ = std::make_unique<QtClipboard>();
    SetMessageRoutine(messages_.get());
    SetFileChooser(chooser_.get());
    SetProgressSink(statusPanels_->Progress());
    SetClipboard(clipboard_.get());
    editDialogs_ = std::make_unique<MainEditDialogs>(this);
    previousDialogs_ = SetEditDialogs(editDialogs_.get());
  }
  RunDialog = [](QDialog& dialog) { return dialog.exec(); };
  BuildSaveExportAndAviCommands();
  BuildActions();
  BuildActionUpdates();
  BuildOptionsAndWizardCommands();
  BuildFrameStrip();
  updates_->Connect();
  toolWindows_ = new TToolWindowKeeper(*this);
  inspector_ = new forms::TfrmFloat(this, this);
  inspector_->setObjectName(QStringLiteral("frmFloat"));
  the_frmFloat = inspector_;

  timer_.setInterval(700);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, Guarded(this, &TfrmMain::TimerTimer));

  ChooseOpenFiles = [this](const QString& filter, const QString& folder) {
    OpenDialogHooks hooks;
    if (!settings_.NoOpenDlgPreview) {
      hooks.Initialized = [this](ptshell::TPTDialog* s) { openCommands_->PTOpenDlg1Initialized(s); };
      hooks.Closed = [this](ptshell::TPTDialog*) { openCommands_->PTOpenDlg1FormClose(); };
    }
    return ChooseFilesWithShellDialog(this, filter, folder, options_.UseSettingsStore, hooks);
  };

  resize(800, 600);
  settings_ = CurrentSettings();
  settings_.InitialDir = platform::SampleImagesFolder();
  settings_.ThumbDirectory = settings_.InitialDir;
  if (options_.UseSettingsStore) {
    SettingsStore store;
    settings_ = LoadSettings(store, settings_, ProgramFolder());
    inspector_->LoadPosition(store, frameGeometry());
  }
  ApplySettings();
  setAcceptDrops(true);
  UpdateCommands();
  UpdateDocumentMenus();
}

void TfrmMain::FormDestroy() {
  // The MDI area signals while it is torn down; nothing of this window may answer then.
  disconnect(mdi_, nullptr, this, nullptr);
  timer_.stop();
  imgAni_->Clear();
  if (options_.UseSettingsStore) {
    SettingsStore store;
    SaveSettings(store, CurrentSettings(), ProgramFolder());
    if (inspector_) inspector_->SavePosition(store, mniToolInspector->isChecked());
    if (the_frmThumbWin) the_frmThumbWin->SavePlacement(store, ThumbView->isChecked());
  }
  // Documents go before the window's view of them.
  while (documents_.Count() > 0) documents_.FreeChildWindow(documents_.At(documents_.Count() - 1));
  SetEditorView(previousView_);
  if (messages_) SetMessageRoutine(nullptr);
  if (chooser_) SetFileChooser(nullptr);
  if (options_.InstallServices) SetProgressSink(nullptr);
  if (clipboard_) SetClipboard(nullptr);
  if (editDialogs_) SetEditDialogs(previousDialogs_);
  SharedImage(1);
}

QString TfrmMain::ProgramFolder() const { return platform::ProgramFolder(); }

void TfrmMain::BuildOpenCommands() {
  OpenHooks hooks;
  hooks.HideSplash = [this] { HideSplash(); };
  hooks.SetStatusText = [this](const QString& text, int panel) { SetStatusText(text, panel); };
  hooks.ShowDocumentWindow = [this](TMDIChild* d) {
    if (QMdiSubWindow* sub = SubWindowFor(d)) {
      sub->showNormal();
      mdi_->setActiveSubWindow(sub);
    }
  };
  hooks.ShowLoadedFrames = [this](int columns) {
    FrameCountChanged(columns);
    framePanel_->SetSelected(0);
    ShowFrame(0);
  };
  hooks.ChooseOpenFiles = [this](const QString& filter, const QString& folder) {
    return ChooseOpenFiles ? ChooseOpenFiles(filter, folder) : QStringList();
  };
  hooks.RunNewAnimationWizard = [this] {
    optionsCommands_->RunWizards(static_cast<int>(forms::WizardMode::NewAnimation));
  };
  hooks.ImportAvi = [this](const QString& path) { return aviCommands_->ImportAvi(path); };
  hooks.WarningsTurnedOff = [this] { settings_.Warnings = 0; };
  hooks.PausePlayback = [this] { PausePlayback(); };
  hooks.FrameCommands = [this] { return frameCommands_.get(); };
  openCommands_ = std::make_unique<TOpenCommands>(documents_, this, imgX_, *this, statusPanels_->ProgressBar(),
                                                  options_.UseSettingsStore, std::move(hooks));
}

void TfrmMain::BuildOptionsAndWizardCommands() {
  OptionsAndWizardHooks hooks;
  hooks.RunDialog = [this](QDialog& dialog) { return RunDialog(dialog); };
  hooks.ChooseOpenFiles = [this](const QString& filter, const QString& folder) {
    return ChooseOpenFiles ? ChooseOpenFiles(filter, folder) : QStringList();
  };
  hooks.PausePlayback = [this] { PausePlayback(); };
  hooks.UpdateCommands = [this] { UpdateCommands(); };
  hooks.ApplyToolbarStyle = [this](bool flat) { ApplyToolbarStyle(flat); };
  hooks.FrameCommands = [this] { return frameCommands_.get(); };
  hooks.OwnEditDialogs = [this]() -> std::unique_ptr<IEditDialogs> {
    return editDialogs_ ? nullptr : NewMainEditDialogs(this);
  };
  optionsCommands_ = std::make_unique<TOptionsAndWizardCommands>(
      documents_, settings_, *openCommands_, *browser_, this, options_.ResourceLibrary,
      QString::fromLatin1(kMainWindowTitle).section(QLatin1Char('.'), 0, 0), options_.UseSettingsStore,
      std::move(hooks));
}

void TfrmMain::BuildSaveExportAndAviCommands() {
  SaveHooks saveHooks;
  saveHooks.PausePlayback = [this] { PausePlayback(); };
  saveHooks.AddRecentFile = [this](const QString& path) { AddRecentFile(path); };
  saveHooks.RepaintTabs = [this] { tabMDI_->Sync(); };
  saveHooks.SetStatusText = [this](const QString& text, int panel) { SetStatusText(text, panel); };
  saveHooks.ActivateChild = [this](TMDIChild* d) { ActivateChild(d); };
  saveHooks.ShowSelectedFrame = [this] {
    const int selected = SelectedFrame();
    if (ActiveDocument() && selected >= 0 && selected < FrameColumns()) ShowFrame(selected);
  };
  saveHooks.SetSaveActionsEnabled = [this](bool on) {
    for (QAction* a : {FileSave, FileSaveAs, FileSaveAll}) a->setEnabled(on);
  };
  saveCommands_ = std::make_unique<TSaveCommands>(documents_, std::move(saveHooks));
  exportCommands_ = std::make_unique<TExportCommands>(documents_, *saveCommands_);
  // The save dialog's Optimize button runs the optimisation wizard on the active document.
  saveCommands_->DialogHelp().OptimizeWizard = [this](int tag) { return OptimizeActiveDocument(tag); };
  if (auto* shell = dynamic_cast<ShellFileChooser*>(chooser_.get()))
    shell->PrepareDialog = [this](ptshell::TPTSaveDlg& dialog) { saveCommands_->DialogHelp().Prepare(dialog); };

  AviHooks aviHooks;
  aviHooks.ChooseOpenFiles = [this](const QString& filter, const QString& folder) {
    return ChooseOpenFiles ? ChooseOpenFiles(filter, folder) : QStringList();
  };
  aviHooks.HideSplash = [this] { HideSplash(); };
  aviHooks.SetStatusText = [this](const QString& text, int panel) { SetStatusText(text, panel); };
  aviCommands_ = std::make_unique<TAviCommands>(documents_, this, std::move(aviHooks));
}

void TfrmMain::BuildActions() {
  actions_.Build(*this);
  const TMainActions& a = actions_;
  connect(a.FileNew, &QAction::triggered, this, Guarded(this, &TfrmMain::FileNewExecute));
  connect(a.FileOpen, &QAction::triggered, this, Guarded(this, &TfrmMain::FileOpenExecute));
  connect(a.FileSave, &QAction::triggered, this, Guarded(this, &TfrmMain::FileSaveExecute));
  connect(a.FileSaveAs, &QAction::triggered, this, Guarded([this] { FileSaveAsExecute(); }));
  connect(a.FileSaveAsGif, &QAction::triggered, this, Guarded([this] { FileSaveAsExecute(); }));
  connect(a.FileSaveAll, &QAction::triggered, this, Guarded(this, &TfrmMain::FileSaveAllExecute));
  connect(a.ImportAvi, &QAction::triggered, this, Guarded([this] { aviCommands_->mniFileImportAviClick(); }));
  connect(a.ExportImage, &QAction::triggered, this, Guarded(this, &TfrmMain::mniFileExportImageClick));
  connect(a.ExportAvi, &QAction::triggered, this, Guarded([this] { aviCommands_->mniFileExportAVIClick(); }));
  connect(a.ExportHtml, &QAction::triggered, this, Guarded(this, &TfrmMain::mniFileExportHTMLClick));
  connect(a.FileClose, &QAction::triggered, this, Guarded([this] { FileCloseExecute(); }));
  connect(a.FileCloseAll, &QAction::triggered, this, Guarded([this] { FileCloseAllExecute(); }));
  connect(a.FileExit, &QAction::triggered, this, Guarded(this, &TfrmMain::FileExitExecute));
  connect(a.EditUndo, &QAction::triggered, this, Guarded([this] {
    if (TMDIChild* d = ActiveDocument()) d->Undo();
  }));

  toolbars_ = std::make_unique<TMainToolbars>(*this, *a.Toolbars);
  for (int tag = 0; tag < 3; ++tag)
    connect(Toolbar(tag), &QToolBar::visibilityChanged, this, Guarded([this, tag](bool visible) {
      // A toolbar the user hides keeps its place for the settings.
      if (visible || !isVisible() || !Toolbar(tag)->isHidden()) return;
      const QPoint place = ToolbarPlace(tag);
      settings_.Toolbars[static_cast<std::size_t>(tag)].Left = place.x();
      settings_.Toolbars[static_cast<std::size_t>(tag)].Top = place.y();
    }));
  BuildImageBrowser(a.View);

  connect(a.mniToolInspector, &QAction::triggered, this, Guarded(this, &TfrmMain::mniToolInspectorClick));
  connect(a.mniToolsHTML, &QAction::triggered, this, Guarded(this, &TfrmMain::mniToolsHTMLClick));
  connect(a.ToolsOptions, &QAction::triggered, this, Guarded(this, &TfrmMain::mniToolsOptionsClick));

  // The fixed items stay (and what add-ins put among them); only the numbered list of the
  // documents is made on showing.
  connect(a.Window, &QMenu::aboutToShow, this,
          Guarded([this] { documentWindows_->RebuildWindowMenu(*actions_.Window); }));
  connect(a.WindowNextDoc, &QAction::triggered, this, Guarded(this, &TfrmMain::WindowNextDocExecute));
  connect(a.WindowPrevDoc, &QAction::triggered, this, Guarded(this, &TfrmMain::WindowPrevDocExecute));
  connect(a.WindowCascade, &QAction::triggered, mdi_, Guarded([this] { mdi_->cascadeSubWindows(); }));
  connect(a.WindowTileHorizontal, &QAction::triggered, this, Guarded([this] { TileChildren(1); }));
  connect(a.WindowTileVertical, &QAction::triggered, this, Guarded([this] { TileChildren(0); }));
  connect(a.WindowMinimizeAll, &QAction::triggered, this, Guarded(this, &TfrmMain::MinimizeAll));
  connect(a.WindowArrangeAll, &QAction::triggered, this, Guarded(this, &TfrmMain::ArrangeAll));

  HelpMenuHandlers help;
  help.Tips = [this] { mniHelpTipsClick(); };
  help.Welcome = [this] { mniHelpWelcomeClick(); };
  help.About = [this] { mniHelpAboutClick(); };
  const auto helpMenu = BuildHelpMenu(*menuBar(), *this, help);
  mnuHelp_ = helpMenu.Menu;
  connect(a.mniHelPluginInfo, &QAction::triggered, this, Guarded(this, &TfrmMain::mniHelPluginInfoClick));
  mnuHelp_->insertAction(helpMenu.mniHelpAbout, a.mniHelPluginInfo);

  openCommands_->SetRecentMenus(a.Recent, a.RecentDropDown);
  toolbars_->Fill({a.FileNew, a.FileOpen, a.RecentDropDown, a.FileSave, a.FileSaveAs, a.SaveAsFormats, a.FileSaveAll,
                   a.EditUndo, ThumbView, a.WindowCascade});
}

void TfrmMain::BuildActionUpdates() {
  ActionUpdateHooks hooks;
  hooks.ActiveDocument = [this] { return ActiveDocument(); };
  hooks.Playing = [this] { return Playing(); };
  hooks.SaveAsEnabled = [this] { return SaveAsEnabled(); };
  hooks.UpdateFlashActions = [this] { flashActions_.Update(); };
  hooks.UpdateFrameActions = [this] { UpdateFrameActions(); };
  hooks.UpdatePopups = [this] {
    if (tabMDI_) tabMDI_->popTabPopup();
    if (browser_) {
      browser_->popThumbsPopup();
      if (browser_->mniThumbsFavsOrg)
        browser_->mniThumbsFavsOrg->setEnabled(static_cast<bool>(browser_->host.OrganizeFavorites));
    }
  };
  updates_ = std::make_unique<TActionUpdates>(*this, documents_, actions_, *toolbars_, std::move(hooks));
}

bool TfrmMain::Playing() const { return player_ && player_->Playback().Playing(); }

bool TfrmMain::SaveAsEnabled() { return !Playing() && flashActions_.FileSaveAsFlashUpdate(); }

void TfrmMain::UpdateFrameActions() {
  if (frameCommands_ && grdFrames_ && frameActions_.EditCut) frameActions_.Update(*frameCommands_, *grdFrames_, Playing());
}

void TfrmMain::TileChildren(int mode) { editor::TileChildren(*mdi_, mode); }
void TfrmMain::MinimizeAll() { MinimizeAllChildren(*mdi_); }
void TfrmMain::ArrangeAll() { ArrangeChildren(*mdi_); }

void TfrmMain::WindowNextDocExecute() {
  const int n = documents_.Count();
  if (n < 2) return;
  ActivateChild(documents_.At((documents_.IndexOf(ActiveDocument()) + 1) % n));
}

void TfrmMain::WindowPrevDocExecute() {
  const int n = documents_.Count();
  if (n < 2) return;
  ActivateChild(documents_.At((documents_.IndexOf(ActiveDocument()) + n - 1) % n));
}

void TfrmMain::ActivateChild(TMDIChild* document) {
  if (documents_.IndexOf(document) < 0) return;
  if (documentWindows_->Activate(document)) UpdateCommands();
  tabMDI_->Sync();
}

int TfrmMain::TabIndexForFile(const QString& fileName) const { return tabMDI_->FindOpenDocumentTab(fileName); }

void TfrmMain::mniFileExportImageClick() {
  if (!ActiveDocument() || !TExportCommands::FrameExportsEnabled()) return;
  PausePlayback();
  forms::TfrmExporter* exporter = nullptr;
  {
    BusyScope busy;
    exporter = new forms::TfrmExporter(this);
    exporter->setAttribute(Qt::WA_DeleteOnClose);
    exporter->StartFolder = SaveStartFolder(documents_.SaveFolder, ActiveDocument()->FileName);
    for (int i = 0; i < FrameColumns(); ++i) exporter->lbExport->addItem(QStringLiteral("Frame - %1").arg(i));
  }
  exporter->open();
}

void TfrmMain::ToolButton2Click() {
  if (auto* button = qobject_cast<QToolButton*>(Toolbar(0)->widgetForAction(FileSaveAs)))
    actions_.SaveAsFormats->popup(button->mapToGlobal(QPoint(0, button->height())));
}

// ---- settings

MainWindowSettings TfrmMain::CurrentSettings() const {
  MainWindowSettings v = settings_;
  if (isMaximized())
    v.State = WindowShow::Maximized;
  else if (isMinimized())
    v.State = WindowShow::Minimized;
  else
    v.State = WindowShow::Normal;
  const QRect g = geometry();
  v.Top = g.top();
  v.Left = g.left();
  v.Height = g.height();
  v.Width = g.width();
  v.InspectorVisible = mniToolInspector->isChecked();
  for (int tag = 0; tag < 3; ++tag) {
    QToolBar* t = Toolbar(tag);
    ToolbarPlacement& p = v.Toolbars[static_cast<std::size_t>(tag)];
    // A hidden toolbar keeps the place it had when it was last shown (or was given).
    if (!t->isHidden()) {
      const QPoint place = ToolbarPlace(tag);
      p.Left = place.x();
      p.Top = place.y();
    }
    p.Visible = !t->isHidden();
  }
  if (grdFrames_) v.FrameSize = grdFrames_->FrameSize();
  const QString& openFolder = openCommands_->OpenFolder;
  v.InitialDir = openFolder.isEmpty() ? settings_.InitialDir : openFolder;
  v.RecentFiles = RecentFiles();
  v.ThumbDirectory = Settings().ThumbDirectory.isEmpty() ? settings_.ThumbDirectory : Settings().ThumbDirectory;
  // The folder the browser shows is the one to come back to.
  if (!browser_->CurrentFolder().isEmpty()) v.ThumbDirectory = browser_->CurrentFolder();
  v.FilterType = Settings().FilterType;
  v.ThumbnailSize = browser_->ThumbSize();
  v.Favorites = browser_->Favorites();
  return v;
}

void TfrmMain::ApplySettings() {
  const MainWindowSettings& v = settings_;
  if (v.State == WindowShow::Normal) {
    // A place stored for other screens (or by a script) is brought back onto these.
    if (v.Width > 0 && v.Height > 0) setGeometry(KeptOnScreens(QRect(v.Left, v.Top, v.Width, v.Height), ScreensArea()));
  } else {
    setWindowState(windowState() | Qt::WindowMaximized);
  }
  mniToolInspector->setChecked(v.InspectorVisible);
  tag_ = v.InspectorHiddenOnce ? 1 : 0;
  toolbars_->Arrange(v.Toolbars);
  for (int tag = 0; tag < 3; ++tag) {
    const bool visible = v.Toolbars[static_cast<std::size_t>(tag)].Visible;
    Toolbar(tag)->setVisible(visible);
    const int item = tag == 0 ? 0 : (tag == 1 ? 2 : 1);  // the View items run Standard, Animation, Frame
    ToolbarItems()[item]->setChecked(visible);
  }
  ApplyToolbarStyle(!v.NormalStyle);

  // The height of the panel with the tabs and the strip, as stored.
  framePanelHeight_ = std::max(0, v.FrameWindowHeight);
  PlaceFramePanel();
  SettingsRecord& record = Settings();
  TakeIntoRecord(v, record);
  if (grdFrames_) {
    grdFrames_->SetFrameSize(record.FrameSize);
    if (frameActions_.FrameSizes)
      for (QAction* item : frameActions_.FrameSizes->actions())
        item->setChecked(item->property("tag").toInt() == grdFrames_->FrameSize());
  }
  openCommands_->OpenFolder = v.SyncOpenDialog ? v.ThumbDirectory : v.InitialDir;
  QString thumbs = v.ThumbDirectory;
  if (!QFileInfo(thumbs).isDir()) thumbs = platform::SampleImagesFolder();
  record.ThumbDirectory = thumbs;
  settings_.ThumbDirectory = thumbs;
  documents_.SaveFolder = openCommands_->OpenFolder;

  displayAnimation_ = v.DisplayAnimation != 0;
  mdi_->setBackground(displayAnimation_ ? QBrush(Qt::white) : QBrush(kWorkspace));
  openCommands_->InstallWarnings(v.Warnings == 1);

  actions_.Recent->clear();
  for (auto it = v.RecentFiles.crbegin(); it != v.RecentFiles.crend(); ++it) AddRecentFile(*it);

  browser_->FilterType = record.FilterType;
  browser_->SetThumbSize(v.ThumbnailSize > 0 ? v.ThumbnailSize : kDefaultThumbSize);
  browser_->RebuildFavorites(v.Favorites);
}

// ---- start-up

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!framePanelMoved_) PlaceFramePanel();
  if (event->spontaneous() || startupPosted_) return;
  if (mniToolInspector->isChecked() && the_frmFloat) toolWindows_->Show(the_frmFloat);
  // Posted, so that the window is painted before the slow parts of the start-up begin.
  startupPosted_ = true;
  QMetaObject::invokeMethod(this, Guarded(this, &TfrmMain::DeferredStartup), Qt::QueuedConnection);
}

void TfrmMain::DeferredStartup() {
  // Long work that keeps the window painted may have let this in: the start-up waits for its end.
  if (BusyScope::Pumping()) {
    QTimer::singleShot(50, this, Guarded(this, &TfrmMain::DeferredStartup));
    return;
  }
  std::unique_ptr<SettingsStore> store;
  if (options_.UseSettingsStore) store = std::make_unique<SettingsStore>();
  auto read = [&store](const char* section, const char* name, int fallback) {
    return store ? ReadRegInt(*store, QString::fromLatin1(section), QString::fromLatin1(name), fallback) : fallback;
  };
  const QString folder = Settings().ThumbDirectory;
  const bool autoLoad = read(sections::kSettings, "AutoLoadStartUp", 1) != 0;

  // A file named on the command line takes the place of the start page.
  if (read(sections::kSettings, "DisplayAnimation", 1) != 0 && pendingFile_.isEmpty()) ShowStartPage();

  // The browser comes up where it was left, then shows the thumbnails of its folder.
  if (TfrmThumbWin* browser = the_frmThumbWin) {
    bool visible = true;
    if (store) {
      visible = browser->LoadPlacement(*store, this->width() - 50);
    } else {
      browser->Place(QRect(browser->x(), browser->y(), std::max(this->width() - 50, 100), browser->height()));
    }
    browser->setVisible(visible);
    ThumbView->setChecked(visible);
    if (visible && autoLoad && QFileInfo(folder).isDir()) {
      QCoreApplication::processEvents();
      browser_->ScanImageFolder(folder);
      browser_->BrowseFolder = folder;
    } else if (!autoLoad) {
      // Without the automatic load the tree shows the folder but nothing is scanned.
      browser_->RememberFolder(folder);
    }
    browser->SelectFolder(folder);
    if (visible) browser->RefreshThumbnails();
  }

  if (LoadPlugins) {
    BusyScope busy;
    LoadPlugins();
  }

  // Opened here, once every window exists, rather than while the main window is being created.
  if (!pendingFile_.isEmpty()) {
    const QString file = pendingFile_;
    pendingFile_.clear();
    OpenFileByType(file);
    return;  // the file the user named is where the work starts
  }
  if (options_.WelcomeOnStartup && read(sections::kSettings, "WelcomeDialog", 0) == 0) mniHelpWelcomeClick();
}

void TfrmMain::ShowStartPage() {
  std::unique_ptr<TGIFImage> animation;
  {
    BusyScope busy;
    SilentMessages quiet;
    animation = LoadGifResource(options_.ResourceLibrary, QStringLiteral("ANIMATED"), QStringLiteral("GIF"));
  }
  if (!animation || !imgAni_->SetAnimation(*animation)) return;
  QWidget* area = mdi_->viewport();
  pnlSplash_->setGeometry(area->geometry().adjusted(2, 2, -2, -2));
  const QSize picture = imgAni_->PictureSize();
  imgAni_->move(std::abs(pnlSplash_->width() - picture.width()) / 2,
                std::abs(pnlSplash_->height() - picture.height()) / 2);
  imgAni_->show();
  pnlSplash_->show();
  pnlSplash_->raise();
}

bool TfrmMain::StartPageShown() const { return pnlSplash_->isVisible() && imgAni_->HasPicture(); }

void TfrmMain::HideSplash() {
  // Documents sit on the workspace colour even when the start page never came (a file given on
  // the command line, or no picture to show).
  mdi_->setBackground(kWorkspace);
  if (!imgAni_->HasPicture() && pnlSplash_->isHidden()) return;
  pnlSplash_->hide();
  imgAni_->hide();
  imgAni_->Clear();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  HideSplash();
  if (!framePanelMoved_) PlaceFramePanel();
}

void TfrmMain::PlaceFramePanel() {
  if (!hsp_ || hsp_->count() < 2) return;
  const int total = hsp_->height() - hsp_->handleWidth();
  QWidget* panel = hsp_->widget(1);
  // A stored height is taken as it is while the documents keep a little room; the panel's own
  // height gives way to keep at least half of the room for the documents.
  constexpr int kLeastForDocuments = 120;
  int height = framePanelHeight_ > 0 ? std::min(framePanelHeight_, total - kLeastForDocuments)
                                     : std::min(panel->sizeHint().height(), total / 2);
  height = std::max(height, panel->minimumSizeHint().height());
  hsp_->setSizes({std::max(0, total - height), height});
}

void TfrmMain::FrameSizeChosen() {
  HideSplash();
  // The panel takes the height of the new cells, as long as the documents keep their room.
  framePanelHeight_ = 0;
  framePanelMoved_ = false;
  PlaceFramePanel();
}

void TfrmMain::ShowInspectorOnce() {
  if (tag_ != 1) return;
  if (the_frmFloat) the_frmFloat->show();
  mniToolInspector->setChecked(true);
  tag_ = 0;
}

bool TfrmMain::event(QEvent* event) {
  // Hints go to status panel 2, and the panels stay in place.
  if (event->type() == QEvent::StatusTip) {
    SetStatusText(static_cast<QStatusTipEvent*>(event)->tip(), 2);
    return true;
  }
  if (event->type() == QEvent::EnabledChange) {
    const bool handled = QMainWindow::event(event);
    // The window coming back on (after the add-ins loaded) turned each of its menus on, and each
    // menu its own item: the items follow their rules again.
    if (isEnabled()) UpdateDocumentMenus();
    return handled;
  }
  return QMainWindow::event(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Long work that keeps the window painted (a save writing its file) ends first: it is still
  // using the documents.
  if (BusyScope::Running()) {
    event->ignore();
    return;
  }
  // Every document agrees before any closes: a cancel at the last one keeps them all.
  if (!documentWindows_->AskToCloseAll() || !documentWindows_->CloseAll()) {
    event->ignore();
    return;
  }
  if (the_frmThumbWin) the_frmThumbWin->hide();
  if (the_frmFloat) the_frmFloat->hide();
  event->accept();
}

int TfrmMain::InsertPosition() const {
  // Right after the selected frame; after the last one that is the end.
  if (FrameColumns() <= 0) return -1;
  return frameCommands_->InsertPosition();
}

int TfrmMain::InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) {
  if (!ActiveDocument() && options_.UseSettingsStore)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
  const bool first = SharedImage()->Images().GetCount() == 0;
  const int index = frameCommands_->InsertBitmapFrame(bitmap, position, caption);
  if (index >= 0 && first) {
    const TGIFImage& image = *SharedImage();
    if (QMdiSubWindow* sub = SubWindowFor(ActiveDocument()))
      sub->resize(image.GetWidth() + 70, image.GetHeight() + 65 + 24);
  }
  return index;
}

void TfrmMain::BringActiveDocumentToFront() {
  if (QMdiSubWindow* sub = SubWindowFor(ActiveDocument())) mdi_->setActiveSubWindow(sub);
}

void TfrmMain::ReloadActiveDocument() {
  if (TMDIChild* d = ActiveDocument(); d && !d->WorkingCopy.isEmpty()) documents_.ReloadDocument(d->WorkingCopy);
}

void TfrmMain::RepaintFrameStrip() {
  if (grdFrames_) grdFrames_->RepaintCells();
}

void TfrmMain::PausePlayback() {
  if (player_ && player_->Playback().Playing()) player_->Playback().Stop(true);
}

void TfrmMain::InspectorClosed() { mniToolInspector->setChecked(false); }

void TfrmMain::ActiveDocumentChanged() {
  if (TMDIChild* d = ActiveDocument()) d->FlushWorkingCopy();
}

// ---- menus and status bar


void TfrmMain::mniToolInspectorClick() {
  if (the_frmFloat) the_frmFloat->setVisible(mniToolInspector->isChecked());
  tag_ = 0;
}

void TfrmMain::FileCloseExecute() {
  if (TMDIChild* d = ActiveDocument()) documentWindows_->CloseWindow(d);
}

void TfrmMain::FileCloseAllExecute() {
  // Whatever a cancel left open stays as it is.
  if (documentWindows_->CloseAll()) ResetAfterLastClose();
}

void TfrmMain::FileExitExecute() { close(); }

QString TfrmMain::ActiveDocumentFileName() const {
  const TMDIChild* d = ActiveDocument();
  return d ? d->FileName : QString();
}

void TfrmMain::TimerTimer() {
  const bool any = documents_.Count() > 0;
  FileSave->setEnabled(any && ActiveDocument() && ActiveDocument()->Modified);
  FileSaveAll->setEnabled(any && documents_.AnyChildModified());
  UpdateDocumentMenus();
  timer_.stop();
}

void TfrmMain::ResetAfterLastClose() {
  pnlMDITab_->hide();
  tabMDI_->Sync();
  if (frameActions_.PlayMenu) frameActions_.PlayMenu->clear();
  if (framePanel_) framePanel_->Reset();
  if (inspector_) inspector_->ResetInspector();
  UpdateFrameActions();
  SetStatusText(QString(), 2);
  timer_.start();
}

// ---- the model's view

void TfrmMain::ShowFrame(int index) {
  // Showing a frame ends playback.
  if (player_ && player_->Playback().Playing()) player_->Playback().Stop(true);
  if (framePanel_) framePanel_->SetSelected(index);
  if (tabFrames_) tabFrames_->SetControlsEnabled(ActiveDocument() != nullptr);
  if (frameCommands_ && frameCommands_->PrepareShowFrame(index)) {
    if (tabFrames_) tabFrames_->ShowFrameProperties(index, grdFrames_ && grdFrames_->SpansAll());
    if (inspector_) inspector_->ShowFrameProperties(ActiveDocument(), index);
  }
  if (TMDIChildWindow* w = WindowFor(ActiveDocument())) w->ShowFrame(index);
  if (grdFrames_) grdFrames_->RepaintCells();
  UpdateFrameActions();
  ShowInspectorOnce();
}

void TfrmMain::BuildFrameStrip() {
  frameCommands_ = std::make_unique<TFrameCommands>(documents_);
  // An edit that deleted entries of the global table carries where each entry went; the pixels
  // follow it, or they would show other colours.
  frameCommands_->ApplyDeletingPaletteEdit = [](TMDIChild& document, TGIFImage& image, const QString& caption) {
    const auto* dialogs = dynamic_cast<const forms::QtEditDialogs*>(EditDialogs());
    const PaletteEditSession* edit = dialogs ? dialogs->LastGlobalEdit() : nullptr;
    if (!edit || !edit->DeletedAny()) return false;
    forms::ApplyGlobalPaletteEdit(document, image, *edit, caption);
    return true;
  };
  framePanel_ = std::make_unique<TFramePanel>(*frameCommands_, Settings().FrameSize);
  tabFrames_ = framePanel_->Properties();
  grdFrames_ = framePanel_->Strip();
  hsp_->addWidget(framePanel_->Widget());
  hsp_->setStretchFactor(1, 0);
  connect(grdFrames_, &TFrameStrip::frameSelected, this, Guarded([this](int index) { ShowFrame(index); }));
  grdFrames_->ThumbnailDropped = [this](const QString& path) {
    BusyScope busy;
    // The strip holds the active animation's frames: a GIF may join them.
    SetOpenAsNew(false);
    browser_->DraggingThumb = false;
    browser_->InsertThumbFile(path);
  };
  connect(grdFrames_, &TFrameStrip::selectionChanged, this, Guarded([this] { UpdateFrameActions(); }));
  connect(tabFrames_, &TPropertyPanel::frameChosen, this, Guarded([this](int index) {
    if (index < 0) {
      grdFrames_->SelectAll();
    } else {
      grdFrames_->SetSelection(index, index);
      ShowFrame(index);
    }
  }));

  player_ = std::make_unique<TAnimationPlayer>(*frameCommands_);
  // The moving picture lies exactly over the still one: on the document's screen.
  player_->Host = [this]() -> QWidget* {
    TMDIChildWindow* w = WindowFor(ActiveDocument());
    return w ? w->View() : nullptr;
  };
  player_->Status = [this](const QString& text) {
    if (TMDIChildWindow* w = WindowFor(ActiveDocument())) w->SetStatusText(text);
  };
  player_->PlayingChanged = [this](bool playing) {
    tabFrames_->SetControlsEnabled(!playing && ActiveDocument());
    UpdateActions();
  };

  QMenu* edit = EditUndo ? qobject_cast<QMenu*>(EditUndo->parent()) : nullptr;
  for (QAction* a : menuBar()->actions())
    if (!edit && a->menu() && a->text() == QStringLiteral("&Edit")) edit = a->menu();
  if (edit) {
    // Undo goes through the commands, so that a typed value waiting to apply is applied first.
    disconnect(EditUndo, &QAction::triggered, nullptr, nullptr);
    connect(EditUndo, &QAction::triggered, this, Guarded([this] {
      frameCommands_->Undo();
      // The inspector keeps the row the document had selected.
      if (TMDIChild* d = ActiveDocument(); d && inspector_) inspector_->ShowUndoneRow(d->InspectorSelection.y());
    }));
    FrameActionHooks hooks;
    hooks.CommentsShown = [this] {
      return inspector_ && inspector_->isVisible() && inspector_->tabImgInfo->currentIndex() == 2;
    };
    hooks.ChooseOpenFiles = [this](const QString& filter, const QString& folder) {
      return ChooseOpenFiles ? ChooseOpenFiles(filter, folder) : QStringList();
    };
    hooks.Import = this;
    frameActions_.Build(this, edit, menuBar(), *frameCommands_, *grdFrames_, *tabFrames_, *player_, std::move(hooks));
    // After the strip has taken the size.
    if (frameActions_.FrameSizes)
      for (QAction* item : frameActions_.FrameSizes->actions())
        connect(item, &QAction::triggered, this, Guarded([this] { FrameSizeChosen(); }));
  }
  flashActions_.SetStatusText = [this](const QString& text, int panel) { SetStatusText(text, panel); };
  QMenu* animation = nullptr;
  for (QAction* a : menuBar()->actions())
    if (a->menu() && a->text() == QStringLiteral("&Animation")) {
      animation = a->menu();
      break;
    }
  flashActions_.BuildActions(animation, Toolbar(2));
  // Save As offers every format the editor saves in; the Flash movie is an export too.
  if (flashActions_.FileSaveAsFlash) {
    actions_.SaveAsFormats->addAction(flashActions_.FileSaveAsFlash);
    actions_.Export->addAction(flashActions_.FileSaveAsFlash);
  }
  // The frame and animation menus come after Tools, before Plug-ins, Window and Help.
  for (QAction* top : menuBar()->actions()) {
    if (!top->menu() || (top->text() != QStringLiteral("Fra&me") && top->text() != QStringLiteral("&Animation"))) continue;
    menuBar()->removeAction(top);
    menuBar()->insertAction(actions_.Plugins->menuAction(), top);
  }
  if (options_.InstallServices) {
    frameClipboard_ = std::make_unique<QtFrameClipboard>();
    SetClipboard(frameClipboard_.get());
  }
  // Nothing to edit until a document is open.
  tabFrames_->SetControlsEnabled(false);
  UpdateFrameActions();
}

void TfrmMain::DocumentAdded(TMDIChild* document) {
  HideSplash();
  documentWindows_->Add(document, new TMDIChildWindow(*this, document));
  timer_.stop();
  pnlMDITab_->show();
  tabMDI_->Sync();
  // The panel takes the bar's height at once rather than when the layout next settles.
  pnlMDITab_->layout()->invalidate();
  pnlMDITab_->layout()->activate();
  mdi_->parentWidget()->layout()->activate();
  if (documents_.Count() == 1) UpdateDocumentMenus();
}

void TfrmMain::DocumentRemoved(TMDIChild* document) {
  if (document == ActiveDocument()) PausePlayback();
  documentWindows_->Remove(document);
  const bool last = documents_.Count() == 1;
  if (last) ResetAfterLastClose();
  UpdateCommands();
  // The document leaves the list right after this.
  tabMDI_->Sync(document);
}

void TfrmMain::DocumentLoaded(TMDIChild* document) {
  const bool frames = framePanel_ && framePanel_->Loaded(document);
  // The panels and the inspector show the arriving document at once, not the one before it.
  if (frames && document == ActiveDocument()) {
    ShowFrame(framePanel_->Selected());
  } else {
    if (TMDIChildWindow* w = WindowFor(document)) w->ShowFrame(document ? document->CurrentFrame : 0);
    if (inspector_) inspector_->ResetInspector();
    if (tabFrames_) tabFrames_->SetControlsEnabled(false);
  }
  UpdateCommands();
}

void TfrmMain::DocumentStateChanged(TMDIChild* document) {
  if (TMDIChildWindow* w = WindowFor(document)) w->UpdateState();
  UpdateCommands();
  if (tabMDI_ && !pnlMDITab_->isHidden()) tabMDI_->Sync();
}

void TfrmMain::SubWindowActivated(QMdiSubWindow* sub) {
  if (!documentWindows_->SubWindowActivated(sub)) return;
  UpdateCommands();
  tabMDI_->Sync();
}

// ---- drops, and the image browser's place in the window

namespace {
bool IsThumbnailDrag(const QMimeData* data) {
  return data && data->hasFormat(QString::fromLatin1(kThumbnailMimeType));
}
}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (IsThumbnailDrag(data)) {
    browser_->DraggingThumb = true;
    event->acceptProposedAction();
    return;
  }
  if (data && data->hasUrls()) {
    for (const QUrl& url : data->urls())
      if (url.isLocalFile()) {
        event->acceptProposedAction();
        return;
      }
  }
  event->ignore();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event) {
  browser_->DraggingThumb = IsThumbnailDrag(event->mimeData());
  QMainWindow::dragMoveEvent(event);
}

void TfrmMain::dragLeaveEvent(QDragLeaveEvent* event) {
  browser_->DraggingThumb = false;
  QMainWindow::dragLeaveEvent(event);
}

void TfrmMain::dropEvent(QDropEvent* event) {
  if (IsThumbnailDrag(event->mimeData())) {
    event->acceptProposedAction();
    HideSplash();
    SetOpenAsNew(true);
    {
      BusyScope busy;
      browser_->DraggingThumb = true;
      browser_->InsertThumbFile(QString::fromUtf8(event->mimeData()->data(QString::fromLatin1(kThumbnailMimeType))));
    }
    browser_->DraggingThumb = false;
    return;
  }
  if (DropFiles(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TfrmMain::BuildImageBrowser(QMenu* view) {
  browser_ = new TImageBrowserCommands(this);
  browser_->setObjectName(QStringLiteral("ImageBrowser"));
  ThumbView = browser_->ThumbView;
  view->addAction(ThumbView);
  view->addAction(browser_->mniViewExplorer);
  QMenu* thumbs = view->addMenu(QStringLiteral("T&humbnails"));
  thumbs->setObjectName(QStringLiteral("mnuThumbs"));
  thumbs->addAction(browser_->ThumbsBrowse);
  thumbs->addAction(browser_->ThumbsRefresh);
  thumbs->addAction(browser_->ThumbsClear);
  connect(thumbs, &QMenu::aboutToShow, browser_, Guarded(browser_, &TImageBrowserCommands::popThumbsPopup));
  view->addMenu(browser_->mniThumbsFavorites);

  TImageBrowserCommands::Host& host = browser_->host;
  host.Status = [this](const QString& text) { SetStatusText(text, 2); };
  host.Progress = [this](int position, int maximum) { statusPanels_->ShowSteps(position, maximum); };
  host.HasDocument = [this] { return ActiveDocument() != nullptr; };
  host.InsertAfterSelection = [this](const QString& path) { openCommands_->InsertImageFileAfterSelection(path); };
  host.InsertByType = [this](const QString& path, bool onClientArea) {
    openCommands_->InsertThumbByType(path, onClientArea);
  };
  host.OpenGif = [this](const QString& path) { return OpenGifDocument(path); };
  host.OpenPictureAsDocument = [this](const QString& path) { return openCommands_->OpenPictureAsDocument(path); };
  host.ReadPicture = [this](const QString& path, QImage& picture) {
    gif::Bitmap bitmap;
    if (!openCommands_->ReadPictureFile(path, bitmap, nullptr)) return false;
    picture = gif::qt::ToQImage(bitmap);
    return !picture.isNull();
  };
  host.OpenWithDefaultProgram = [](const QString& path) { RunShellFile(path); };
  host.ChooseFolder = [this](QString& folder) {
    if (!dlgBrowseDir_) dlgBrowseDir_ = std::make_unique<ptshell::TPTFolderBrowseDlg>();
    dlgBrowseDir_->SetSelectedPath(folder);
    if (!dlgBrowseDir_->Execute()) return false;
    folder = dlgBrowseDir_->SelectedPath();
    return !folder.isEmpty();
  };
  host.OrganizeFavorites = [this](QStringList& folders) { return optionsCommands_->OrganizeFavoriteFolders(folders); };
  host.ShowProperties = [this](const QString& path, const TThumbRecord& record) {
    std::unique_ptr<forms::TfrmPrompts> page;
    {
      BusyScope busy;
      page = std::make_unique<forms::TfrmPrompts>(this, 5);
      page->ShowImageProperties(path, record.FileName, record.SizeKB, record.Height, record.Width);
    }
    page->exec();
  };
}

}  // namespace movinta::editor
