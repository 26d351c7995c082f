// Every action's enabled and checked state follows the editor's state. The rules live in one
// routine, run at once where a change is known and, for everything else, when the event loop next
// idles (a zero-interval timer that anything which may change the state restarts): menus,
// toolbars, shortcuts and scripts all read the same actions, so Ctrl+V works without a menu ever
// having been opened.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QMainWindow;

namespace movinta::editor {

class TDocuments;
class TMDIChild;
class TMainActions;
class TMainToolbars;

// What the rules ask of the main window.
struct ActionUpdateHooks {
  std::function<TMDIChild*()> ActiveDocument;
  std::function<bool()> Playing;
  // Save As and its GIF and Flash items.
  std::function<bool()> SaveAsEnabled;
  // The groups that keep rules of their own: the Flash items, the frame and animation actions,
  // and the pop-ups (the document tabs' and the image browser's), whose rules hold for their items
  // wherever else they sit.
  std::function<void()> UpdateFlashActions;
  std::function<void()> UpdateFrameActions;
  std::function<void()> UpdatePopups;
};

class TActionUpdates : public QObject {
public:
  TActionUpdates(QMainWindow& window, const TDocuments& documents, const TMainActions& actions,
                 const TMainToolbars& toolbars, ActionUpdateHooks hooks);

  // Runs the rules again when the clipboard changes, a toolbar shows or hides, and after every
  // action of the window has done its work; call once every action exists.
  void Connect();
  // The state may have changed: the actions are brought in line when the event loop next idles.
  void MayHaveChanged();
  // Recomputes every action's enabled and checked state from the editor's state.
  void Update();
  // Document-dependent menu items are enabled exactly while a document is active, then the
  // built-in ones follow their own rules.
  void UpdateDocumentMenus();
  // Tools > HTML Code: a document while no animation plays.
  void UpdateToolsMenu();
  // The Export menu's frame exports: while the working image has frames.
  void UpdateExportMenu();

private:
  QMainWindow& window_;
  const TDocuments& documents_;
  const TMainActions& actions_;
  const TMainToolbars& toolbars_;
  ActionUpdateHooks hooks_;
  QTimer idle_;
};

}  // namespace movinta::editor
