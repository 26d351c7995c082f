#include "editor/main_actions.h"

#include "editor/widget_helpers.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace movinta::editor {

namespace {
QAction* DocumentAction(QMenu* menu, const QString& text) {
  QAction* a = menu->addAction(text);
  SetDocumentDependent(a, true);
  return a;
}
}  // namespace

void TMainActions::Build(QMainWindow& window) {
  QMenuBar* bar = window.menuBar();
  bar->setObjectName(QStringLiteral("mnuMain"));

  File = bar->addMenu(QStringLiteral("&File"));
  FileNew = File->addAction(QStringLiteral("&New"));
  FileNew->setShortcut(QKeySequence::New);
  FileNew->setStatusTip(QStringLiteral("Creates a new animation"));
  FileOpen = File->addAction(QStringLiteral("&Open..."));
  FileOpen->setShortcut(QKeySequence::Open);
  FileOpen->setStatusTip(QStringLiteral("Opens an existing animation"));
  Recent = File->addMenu(QStringLiteral("&Reopen"));
  Recent->setObjectName(QStringLiteral("mniFileRecent"));
  Recent->menuAction()->setVisible(false);
  File->addSeparator();
  FileSave = File->addAction(QStringLiteral("&Save"));
  FileSave->setShortcut(QKeySequence::Save);
  FileSaveAs = new QAction(QStringLiteral("Save &As..."), &window);
  FileSaveAs->setObjectName(QStringLiteral("FileSaveAs"));
  SaveAsFormats = File->addMenu(QStringLiteral("Save &As"));
  SaveAsFormats->setObjectName(QStringLiteral("popSaveAs"));
  SetDocumentDependent(SaveAsFormats->menuAction(), true);
  FileSaveAsGif = DocumentAction(SaveAsFormats, QStringLiteral("Save As Animated &GIF (.gif)..."));
  FileSaveAsGif->setObjectName(QStringLiteral("FileSaveAsGif"));
  // The platform has no standard key for Save As.
  FileSaveAsGif->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  FileSaveAll = File->addAction(QStringLiteral("Sa&ve All"));
  File->addSeparator();
  QMenu* import = File->addMenu(QStringLiteral("&Import"));
  import->setObjectName(QStringLiteral("mniFileImport"));
  ImportAvi = import->addAction(QStringLiteral("&AVI Animation"));
  ImportAvi->setObjectName(QStringLiteral("mniFileImportAvi"));
  Export = File->addMenu(QStringLiteral("&Export"));
  Export->setObjectName(QStringLiteral("mniFileExport"));
  SetDocumentDependent(Export->menuAction(), true);
  ExportImage = Export->addAction(QStringLiteral("&Single Images..."));
  ExportImage->setObjectName(QStringLiteral("mniFileExportImage"));
  ExportAvi = Export->addAction(QStringLiteral("As &AVI Animation..."));
  ExportAvi->setObjectName(QStringLiteral("mniFileExportAVI"));
  ExportHtml = Export->addAction(QStringLiteral("As &HTML Page..."));
  ExportHtml->setObjectName(QStringLiteral("mniFileExportHTML"));
  for (QAction* a : {ExportImage, ExportAvi, ExportHtml}) a->setProperty("framesNeeded", true);
  File->addSeparator();
  FileClose = DocumentAction(File, QStringLiteral("&Close"));
  FileCloseAll = DocumentAction(File, QStringLiteral("Close A&ll"));
  File->addSeparator();
  FileExit = File->addAction(QStringLiteral("E&xit"));

  Edit = bar->addMenu(QStringLiteral("&Edit"));
  EditUndo = Edit->addAction(QStringLiteral("&Undo"));
  EditUndo->setShortcut(QKeySequence::Undo);

  View = bar->addMenu(QStringLiteral("&View"));
  Toolbars = View->addMenu(QStringLiteral("&Toolbars"));

  Tools = bar->addMenu(QStringLiteral("&Tools"));
  mniToolInspector = Tools->addAction(QStringLiteral("&Frame Inspector"));
  mniToolInspector->setObjectName(QStringLiteral("mniToolInspector"));
  mniToolInspector->setCheckable(true);
  mniToolInspector->setChecked(true);
  mniToolsHTML = Tools->addAction(QStringLiteral("HTML &Code..."));
  mniToolsHTML->setObjectName(QStringLiteral("mniToolsHTML"));
  mniToolsHTML->setStatusTip(QStringLiteral("Makes the HTML code that shows the animation on a web page"));
  Tools->addSeparator();
  ToolsOptions = Tools->addAction(QStringLiteral("&Options..."));
  ToolsOptions->setObjectName(QStringLiteral("mniToolsOptions"));

  Plugins = bar->addMenu(QStringLiteral("&Plug-ins"));
  Plugins->setObjectName(QStringLiteral("mniPlugins"));
  Plugins->menuAction()->setVisible(false);

  Window = bar->addMenu(QStringLiteral("&Window"));
  Window->setObjectName(QStringLiteral("mniWindow"));
  WindowNextDoc = Window->addAction(QStringLiteral("&Next Document"));
  WindowPrevDoc = Window->addAction(QStringLiteral("&Previous Document"));
  Window->addSeparator();
  WindowCascade = Window->addAction(QStringLiteral("&Cascade"));
  WindowTileHorizontal = Window->addAction(QStringLiteral("Tile &Horizontally"));
  WindowTileVertical = Window->addAction(QStringLiteral("Tile &Vertically"));
  WindowMinimizeAll = Window->addAction(QStringLiteral("&Minimize All"));
  WindowArrangeAll = Window->addAction(QStringLiteral("&Arrange All"));

  mniHelPluginInfo = new QAction(QStringLiteral("&Plugin Info..."), &window);
  mniHelPluginInfo->setObjectName(QStringLiteral("mniHelPluginInfo"));
  mniHelPluginInfo->setVisible(false);

  RecentDropDown = new QMenu(&window);
  RecentDropDown->setObjectName(QStringLiteral("popRecentFiles"));
  const QIcon none;
  FileNew->setIcon(QIcon::fromTheme(QStringLiteral("document-new"), none));
  FileOpen->setIcon(QIcon::fromTheme(QStringLiteral("document-open"), none));
  FileSave->setIcon(QIcon::fromTheme(QStringLiteral("document-save"), none));
  FileSaveAll->setIcon(QIcon::fromTheme(QStringLiteral("document-save-all"), none));
  EditUndo->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo"), none));
  FileSaveAs->setIcon(QIcon::fromTheme(QStringLiteral("document-save-as"), none));
}

}  // namespace movinta::editor
