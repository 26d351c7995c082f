// The main window's own menus and actions: File, Edit, View, Tools, Plug-ins and Window on the menu
// bar, in that order, with their texts, keys, hints and icons, and the recent files the Open button
// drops down. The window connects each action to its command; the image browser, frame, animation,
// Flash and help items come from their own groups.
#pragma once

class QAction;
class QMainWindow;
class QMenu;

namespace movinta::editor {

class TMainActions {
public:
  // Adds the menus to the window's menu bar; the menus and actions belong to the window.
  void Build(QMainWindow& window);

  QMenu* File = nullptr;
  QMenu* Edit = nullptr;
  QMenu* View = nullptr;
  QMenu* Toolbars = nullptr;  // View > Toolbars, filled by the toolbars
  QMenu* Tools = nullptr;
  QMenu* Plugins = nullptr;  // shown once add-ins are loaded
  // The fixed items; the window adds the numbered list of the documents on showing.
  QMenu* Window = nullptr;

  QAction* FileNew = nullptr;
  QAction* FileOpen = nullptr;
  QMenu* Recent = nullptr;  // File > Reopen
  // The toolbar's Open button drops down the recent files.
  QMenu* RecentDropDown = nullptr;
  QAction* FileSave = nullptr;
  // The toolbar's Save As button, which saves a GIF; File > Save As is the menu of the formats,
  // which the button drops down too.
  QAction* FileSaveAs = nullptr;
  QMenu* SaveAsFormats = nullptr;
  QAction* FileSaveAsGif = nullptr;
  QAction* FileSaveAll = nullptr;
  QAction* ImportAvi = nullptr;
  // File > Export; its items with the "framesNeeded" property need frames in the working image.
  QMenu* Export = nullptr;
  QAction* ExportImage = nullptr;
  QAction* ExportAvi = nullptr;
  QAction* ExportHtml = nullptr;
  QAction* FileClose = nullptr;
  QAction* FileCloseAll = nullptr;
  QAction* FileExit = nullptr;

  QAction* EditUndo = nullptr;

  QAction* mniToolInspector = nullptr;
  QAction* mniToolsHTML = nullptr;
  QAction* ToolsOptions = nullptr;

  QAction* WindowNextDoc = nullptr;
  QAction* WindowPrevDoc = nullptr;
  QAction* WindowCascade = nullptr;
  QAction* WindowTileHorizontal = nullptr;
  QAction* WindowTileVertical = nullptr;
  QAction* WindowMinimizeAll = nullptr;
  QAction* WindowArrangeAll = nullptr;

  // Help > Plugin Info, in no menu until the Help menu exists; shown once an add-in has loaded.
  QAction* mniHelPluginInfo = nullptr;
};

}  // namespace movinta::editor
