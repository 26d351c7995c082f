#include "editor/action_updates.h"

#include "editor/commands/export_commands.h"
#include "editor/forms/guarded.h"
#include "editor/main_actions.h"
#include "editor/main_toolbars.h"
#include "editor/model/document.h"
#include "editor/widget_helpers.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStringList>
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

TActionUpdates::TActionUpdates(QMainWindow& window, const TDocuments& documents, const TMainActions& actions,
                               const TMainToolbars& toolbars, ActionUpdateHooks hooks)
    : window_(window), documents_(documents), actions_(actions), toolbars_(toolbars), hooks_(std::move(hooks)) {
  idle_.setSingleShot(true);
  idle_.setInterval(0);
  connect(&idle_, &QTimer::timeout, this, Guarded(this, &TActionUpdates::Update));
}

void TActionUpdates::Connect() {
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    connect(clipboard, &QClipboard::dataChanged, this, Guarded(this, &TActionUpdates::MayHaveChanged));
  for (int tag = 0; tag < 3; ++tag)
    if (QToolBar* toolbar = toolbars_.Toolbar(tag))
      connect(toolbar, &QToolBar::visibilityChanged, this, Guarded([this](bool) { MayHaveChanged(); }));
  // Whatever a command did, the rules run again once it has returned.
  for (QAction* action : window_.findChildren<QAction*>())
    connect(action, &QAction::triggered, this, Guarded([this] { MayHaveChanged(); }));
}

void TActionUpdates::MayHaveChanged() {
  if (!idle_.isActive()) idle_.start();
}

void TActionUpdates::Update() {
  idle_.stop();
  TMDIChild* d = hooks_.ActiveDocument();
  const bool playing = hooks_.Playing();
  const bool any = documents_.Count() > 0;
  const TMainActions& a = actions_;

  Enable(a.FileNew, !playing);
  Enable(a.FileOpen, !playing);
  Enable(a.FileSave, d && d->Modified);
  Enable(a.FileSaveAll, documents_.AnyChildModified());
  const bool saveAs = hooks_.SaveAsEnabled();
  Enable(a.FileSaveAs, saveAs);
  Enable(a.FileSaveAsGif, saveAs);
  if (a.SaveAsFormats) Enable(a.SaveAsFormats->menuAction(), saveAs);
  hooks_.UpdateFlashActions();
  Enable(a.FileClose, d && !playing);
  Enable(a.FileCloseAll, d && !playing);
  if (a.Export) UpdateExportMenu();

  // Undo is off while an animation plays, like every other edit.
  if (a.EditUndo) {
    const bool history = d && d->History.Count() > 0;
    a.EditUndo->setEnabled(history && !playing);
    a.EditUndo->setText(history ? d->UndoCaption() : QStringLiteral("&Undo"));
  }
  hooks_.UpdateFrameActions();
  UpdateToolsMenu();

  for (QAction* w : {a.WindowNextDoc, a.WindowPrevDoc, a.WindowCascade, a.WindowTileHorizontal, a.WindowTileVertical,
                     a.WindowMinimizeAll, a.WindowArrangeAll})
    Enable(w, any);

  for (QAction* top : window_.menuBar()->actions())
    if (top->menu() && kMenusOffWhilePlaying.contains(top->text())) top->setEnabled(!playing);

  hooks_.UpdatePopups();

  // View > Toolbars: each item is checked while its toolbar is shown (the toolbars' own menu may
  // hide one).
  for (QAction* item : toolbars_.Items()) {
    const QToolBar* toolbar = toolbars_.OfItem(item);
    if (!toolbar || item->isChecked() == !toolbar->isHidden()) continue;
    const QSignalBlocker quiet(item);
    item->setChecked(!toolbar->isHidden());
  }
}

void TActionUpdates::UpdateToolsMenu() {
  actions_.mniToolsHTML->setEnabled(hooks_.ActiveDocument() && !hooks_.Playing());
}

void TActionUpdates::UpdateExportMenu() {
  const bool frames = TExportCommands::FrameExportsEnabled();
  for (QAction* a : actions_.Export->actions())
    if (a->property("framesNeeded").toBool()) a->setEnabled(frames);
}

void TActionUpdates::UpdateDocumentMenus() {
  EnableDocumentItems(*window_.menuBar(), hooks_.ActiveDocument() != nullptr);
  // The document-dependent built-in items have rules of their own beyond a document being open.
  Update();
}

}  // namespace movinta::editor
