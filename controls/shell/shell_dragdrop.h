// Drag and drop of shell items through Qt (QDrag, QMimeData): a drag offers the
// items as the "Shell IDList Array" block and as a URI list; a drop onto an item
// goes to that item's own drop target, which copies, moves or links. Qt's drag
// loop takes the place of the drop source's own polling; TDropSource_shlvtv
// keeps its rule for callers that run their own loop. No exception leaves a
// drop handler: a failure answers "no effect".
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <Qt>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/shell_mime.h"
#include "platform/shellnamespace/shell_verbs.h"

class QMimeData;
class QWidget;

namespace ptshell {

using shellns::DROPEFFECT_COPY;
using shellns::DROPEFFECT_LINK;
using shellns::DROPEFFECT_MOVE;
using shellns::DROPEFFECT_NONE;
using shellns::DROPEFFECT_SCROLL;
using shellns::MK_ALT;
using shellns::MK_CONTROL;
using shellns::MK_LBUTTON;
using shellns::MK_MBUTTON;
using shellns::MK_RBUTTON;
using shellns::MK_SHIFT;

inline constexpr HRESULT DRAGDROP_S_DROP = 0x40100;
inline constexpr HRESULT DRAGDROP_S_CANCEL = 0x40101;
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x40102;

// The MIME type of the "Shell IDList Array" format.
QString ShellIdListFormat();

// The CIDA block of a parent and its children (a null parent is the desktop).
QByteArray MakeIdListArrayHGlobal(PCItemIDList parent, const std::vector<PCItemIDList>& children);
// A URI list of paths, in place of the file-name block.
QByteArray MakeDropFilesHGlobal(const std::vector<std::string>& paths);
QByteArray MakeTextHGlobal(const std::string& text);

class TDropSource_shlvtv {
 public:
  // 0 left, 1 right, 2 middle.
  explicit TDropSource_shlvtv(int button)
      : DragButton(button == 1 ? MK_RBUTTON : button == 2 ? MK_MBUTTON : MK_LBUTTON) {}
  HRESULT QueryContinueDrag(bool escapePressed, uint32_t keyState) const;
  HRESULT GiveFeedback(uint32_t) const { return DRAGDROP_S_USEDEFAULTCURSORS; }
  uint32_t DragButton;
};

// The data of a drag or a clipboard copy of items of one folder: children are
// relative to `parent` (the tree's node under its parent, the list's selection
// under its folder). Null when there are no children. The caller owns it.
QMimeData* CreateShellDataObject(PCItemIDList parent, const std::vector<PCItemIDList>& children);

// The effects the dragged items allow (copy, move, link from their attributes);
// 7 when the data holds no ID-list block; 0 for a malformed block.
uint32_t AllowedDropEffects(const QMimeData* data);
// The effects one item allows within its parent folder; 7 on any failure.
uint32_t ItemDropEffects(PCItemIDList absolute);

// Qt's view of key states and effects.
uint32_t KeyStateFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
Qt::DropActions DropEffectsToQt(uint32_t effects);
uint32_t DropEffectsFromQt(Qt::DropActions actions);
Qt::DropAction DropEffectToQt(uint32_t effect);
uint32_t DropEffectFromQt(Qt::DropAction action);

// Runs a Qt drag of the data (Qt takes ownership) with the allowed effects;
// DRAGDROP_S_DROP with the effect done, or DRAGDROP_S_CANCEL.
HRESULT DoDragDrop(QWidget* source, QMimeData* data, uint32_t allowedEffects, uint32_t& effect);

// What a shell tree or list does as a drop target, apart from finding the item
// under the point: it keeps the dragged data and the buttons seen on entering,
// asks the item's own drop target (enter and leave again, so each item is
// asked afresh), adds the scroll effect and paces the edge scrolling.
class TPTShellDropHelper {
 public:
  // `target` is the absolute PIDL of the item under the point, null for none.
  HRESULT DragEnter(const QMimeData* data, uint32_t keyState, QPoint point, PCItemIDList target, uint32_t& effect);
  HRESULT DragOver(uint32_t keyState, QPoint point, PCItemIDList target, uint32_t& effect);
  HRESULT DragLeave();
  HRESULT Drop(const QMimeData* data, uint32_t keyState, QPoint point, PCItemIDList target, uint32_t& effect);

  // Edge scrolling at most every 100 ms: -1, 0 or 1 per axis for a point within
  // 26 pixels of the left or right edge or 20 of the top or bottom edge.
  bool AutoScroll(const QRect& client, QPoint point, int64_t nowMs, int& dx, int& dy);

  const QMimeData* Data() const { return DataObject; }

 private:
  uint32_t Ask(PCItemIDList target, uint32_t keyState, QPoint point, uint32_t effect, bool over);
  const QMimeData* DataObject = nullptr;
  uint32_t EnterKeyState = 0;
  int64_t LastScrollTick = -1000;
};

}  // namespace ptshell
