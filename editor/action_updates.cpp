// Every action's enabled and checked state follows the editor's state. The rules live in one
// routine, run at once where a change is known and, for everything else, when the event loop next
// idles (a zero-interval timer that anything which may change the state restarts): menus,
// toolbars, shortcuts and scripts all read the same actions, so Ctrl+V works without a menu ever
// having been opened.
#include "editor/document_tabs.h"
#include "editor/commands/export_commands.h"
#include "editor/forms/guarded.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/main_window.h"
#include "editor/widget_helpers.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QToolBar>

namespace movinta::editor {

namespace {
// The main menus that are off while an animation plays (only the play commands stay).
const QStringList kMenusOffWhilePlaying = {QStringLiteral("&File"),     QStringLiteral("&Edit"),
                                           QStringLiteral("&Tools"),    QStringLiteral("&Plug-ins"),
                                           QStringLiteral("&Window"),   QStringLiteral("&Help")};

void Enable(QAction* action, bool on) {
  if (action) action->setEnabled(on);
}
}  // namespace

void TfrmMain::ConnectActionUpdates() {
  actionUpdate_.setSingleShot(true);
  actionUpdate_.setInterval(0);
  connect(&actionUpdate_, &QTimer::timeout, this, Guarded(this, &TfrmMain::UpdateActions));
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    connect(clipboard, &QClipboard::dataChanged, this, Guarded(this, &TfrmMain::ActionsMayHaveChanged));
  for (int tag = 0; tag < 3; ++tag)
    if (QToolBar* toolbar = Toolbar(tag))
      connect(toolbar, &QToolBar::visibilityChanged, this, Guarded([this](bool) { ActionsMayHaveChanged(); }));
  // Whatever a command did, the rules run again once it has returned.
  for (QAction* action : findChildren<QAction*>())
    connect(action, &QAction::triggered, this, Guarded([this] { ActionsMayHaveChanged(); }));
}

void TfrmMain::ActionsMayHaveChanged() {
  if (!actionUpdate_.isActive()) actionUpdate_.start();
}

bool TfrmMain::Playing() const { return player_ && player_->Playback().Playing(); }

bool TfrmMain::SaveAsEnabled() { return !Playing() && flashActions_.FileSaveAsFlashUpdate(); }

void TfrmMain::UpdateActions() {
  actionUpdate_.stop();
  TMDIChild* d = ActiveDocument();
  const bool playing = Playing();
  const bool any = documents_.Count() > 0;

  Enable(FileNew, !playing);
  Enable(FileOpen, !playing);
  Enable(FileSave, d && d->Modified);
  Enable(FileSaveAll, documents_.AnyChildModified());
  const bool saveAs = SaveAsEnabled();
  Enable(FileSaveAs, saveAs);
  Enable(FileSaveAsGif, saveAs);
  if (popSaveAs_) Enable(popSaveAs_->menuAction(), saveAs);
  flashActions_.Update();
  Enable(FileClose, d && !playing);
  Enable(FileCloseAll, d && !playing);
  if (mniFileExport_) mniFileExportClick();

  // Undo is off while an animation plays, like every other edit.
  if (EditUndo) {
    const bool history = d && d->History.Count() > 0;
    EditUndo->setEnabled(history && !playing);
    EditUndo->setText(history ? d->UndoCaption() : QStringLiteral("&Undo"));
  }
  UpdateFrameActions();
  mniToolsClick();

  for (QAction* a : {WindowNextDoc, WindowPrevDoc, WindowCascade, WindowTileHorizontal, WindowTileVertical,
                     WindowMinimizeAll, WindowArrangeAll})
    Enable(a, any);

  for (QAction* top : menuBar()->actions())
    if (top->menu() && kMenusOffWhilePlaying.contains(top->text())) top->setEnabled(!playing);

  // The pop-ups' own rules hold for their items wherever else they sit.
  if (tabMDI_) tabMDI_->popTabPopup();
  if (browser_) {
    browser_->popThumbsPopup();
    if (browser_->mniThumbsFavsOrg) browser_->mniThumbsFavsOrg->setEnabled(static_cast<bool>(browser_->host.OrganizeFavorites));
  }

  // View > Toolbars: each item is checked while its toolbar is shown (the toolbars' own menu may
  // hide one).
  for (QAction* item : toolbars_->Items()) {
    const QToolBar* toolbar = toolbars_->OfItem(item);
    if (!toolbar || item->isChecked() == !toolbar->isHidden()) continue;
    const QSignalBlocker quiet(item);
    item->setChecked(!toolbar->isHidden());
  }
}

void TfrmMain::mniToolsClick() {
  mniToolsHTML->setEnabled(ActiveDocument() && !(player_ && player_->Playback().Playing()));
}

void TfrmMain::mniFileExportClick() {
  const bool frames = TExportCommands::FrameExportsEnabled();
  for (QAction* a : mniFileExport_->actions())
    if (a->property("framesNeeded").toBool()) a->setEnabled(frames);
}

void TfrmMain::UpdateFrameActions() {
  if (frameCommands_ && grdFrames_ && frameActions_.EditCut) frameActions_.Update(*frameCommands_, *grdFrames_, Playing());
}

void TfrmMain::UpdateDocumentMenus() {
  EnableDocumentItems(*menuBar(), ActiveDocument() != nullptr);
  // The document-dependent built-in items have rules of their own beyond a document being open.
  UpdateActions();
}

}  // namespace movinta::editor
