#include "controls/shell/shell_dragdrop.h"

#include <QDrag>
#include <QMimeData>
#include <QWidget>

#include "controls/shell/pidl_list.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/item_id.h"

namespace ptshell {

using namespace shellns;

QString ShellIdListFormat() { return ShellIdListArrayMimeType(); }

QByteArray MakeIdListArrayHGlobal(PCItemIDList parent, const std::vector<PCItemIDList>& children) {
  return MakeIdListArray(parent, std::vector<const uint8_t*>(children.begin(), children.end()));
}

QByteArray MakeDropFilesHGlobal(const std::vector<std::string>& paths) { return MakeUriList(paths); }

QByteArray MakeTextHGlobal(const std::string& text) { return QByteArray::fromStdString(text); }

HRESULT TDropSource_shlvtv::QueryContinueDrag(bool escapePressed, uint32_t keyState) const {
  const uint32_t others = (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON) & ~DragButton;
  if (escapePressed || (keyState & others)) return DRAGDROP_S_CANCEL;
  if (keyState & DragButton) return S_OK;
  return DRAGDROP_S_DROP;
}

QMimeData* CreateShellDataObject(PCItemIDList parent, const std::vector<PCItemIDList>& children) {
  if (children.empty()) return nullptr;
  return MakeShellMimeData(parent, std::vector<const uint8_t*>(children.begin(), children.end()));
}

uint32_t AllowedDropEffects(const QMimeData* data) {
  try {
    if (!data || !data->hasFormat(ShellIdListFormat())) return 7;
    IdList parent;
    std::vector<IdList> children;
    if (!ParseIdListArray(data->data(ShellIdListFormat()), parent, children)) return 0;
    ShellFolderPtr folder;
    if (FAILED(BindToFolder(parent.data(), folder))) return 0;
    std::vector<const uint8_t*> raw;
    for (const IdList& c : children) raw.push_back(c.data());
    uint32_t mask = 7;
    if (FAILED(folder->GetAttributesOf(raw.size(), raw.data(), mask))) return 0;
    return 7 & mask;
  } catch (...) {
    return 0;
  }
}

uint32_t ItemDropEffects(PCItemIDList absolute) {
  try {
    ShellFolderPtr folder;
    PItemIDList parent = nullptr, relative = nullptr;
    if (FAILED(SplitPidl(absolute, folder, parent, relative))) return 7;
    PidlPtr holdParent(parent), holdRelative(relative);
    uint32_t mask = 7;
    const uint8_t* items[] = {relative};
    if (FAILED(folder->GetAttributesOf(1, items, mask))) return 7;
    return mask & 7;
  } catch (...) {
    return 7;
  }
}

uint32_t KeyStateFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  uint32_t k = 0;
  if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) k |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) k |= MK_CONTROL;
  if (modifiers & Qt::AltModifier) k |= MK_ALT;
  return k;
}

Qt::DropActions DropEffectsToQt(uint32_t effects) {
  Qt::DropActions a;
  if (effects & DROPEFFECT_COPY) a |= Qt::CopyAction;
  if (effects & DROPEFFECT_MOVE) a |= Qt::MoveAction;
  if (effects & DROPEFFECT_LINK) a |= Qt::LinkAction;
  return a;
}

uint32_t DropEffectsFromQt(Qt::DropActions actions) {
  uint32_t effects = 0;
  if (actions & Qt::CopyAction) effects |= DROPEFFECT_COPY;
  if (actions & Qt::MoveAction) effects |= DROPEFFECT_MOVE;
  if (actions & Qt::LinkAction) effects |= DROPEFFECT_LINK;
  return effects;
}

Qt::DropAction DropEffectToQt(uint32_t effect) {
  if (effect & DROPEFFECT_MOVE) return Qt::MoveAction;
  if (effect & DROPEFFECT_COPY) return Qt::CopyAction;
  if (effect & DROPEFFECT_LINK) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

uint32_t DropEffectFromQt(Qt::DropAction action) {
  switch (action) {
    case Qt::CopyAction: return DROPEFFECT_COPY;
    case Qt::MoveAction:
    case Qt::TargetMoveAction: return DROPEFFECT_MOVE;
    case Qt::LinkAction: return DROPEFFECT_LINK;
    default: return DROPEFFECT_NONE;
  }
}

HRESULT DoDragDrop(QWidget* source, QMimeData* data, uint32_t allowedEffects, uint32_t& effect) {
  effect = DROPEFFECT_NONE;
  if (!source || !data) {
    delete data;
    return E_INVALIDARG;
  }
  auto* drag = new QDrag(source);
  drag->setMimeData(data);
  const Qt::DropActions allowed = DropEffectsToQt(allowedEffects);
  const Qt::DropAction done = drag->exec(allowed, allowed & Qt::MoveAction ? Qt::MoveAction : Qt::CopyAction);
  effect = DropEffectFromQt(done);
  return done == Qt::IgnoreAction ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
}

uint32_t TPTShellDropHelper::Ask(PCItemIDList target, uint32_t keyState, QPoint point, uint32_t effect, bool over) {
  if (!target) return DROPEFFECT_NONE;
  std::unique_ptr<ShellDropTarget> t;
  if (FAILED(GetDropTargetOfPidl(target, t))) return DROPEFFECT_NONE;
  uint32_t e = effect;
  if (FAILED(t->DragEnter(DataObject, keyState, point, e))) return DROPEFFECT_NONE;
  if (over) {
    e = effect;
    if (FAILED(t->DragOver(keyState, point, e))) e = DROPEFFECT_NONE;
  }
  t->DragLeave();
  return e;
}

HRESULT TPTShellDropHelper::DragEnter(const QMimeData* data, uint32_t keyState, QPoint point, PCItemIDList target,
                                      uint32_t& effect) {
  try {
    DataObject = data;
    EnterKeyState = keyState;
    effect = Ask(target, keyState, point, effect & AllowedDropEffects(data), false);
  } catch (...) {
    effect = DROPEFFECT_NONE;
  }
  return S_OK;
}

HRESULT TPTShellDropHelper::DragOver(uint32_t keyState, QPoint point, PCItemIDList target, uint32_t& effect) {
  try {
    effect = Ask(target, keyState, point, effect & AllowedDropEffects(DataObject), true);
  } catch (...) {
    effect = DROPEFFECT_NONE;
  }
  effect |= DROPEFFECT_SCROLL;
  return S_OK;
}

HRESULT TPTShellDropHelper::DragLeave() {
  DataObject = nullptr;
  return S_OK;
}

HRESULT TPTShellDropHelper::Drop(const QMimeData* data, uint32_t keyState, QPoint point, PCItemIDList target,
                                 uint32_t& effect) {
  HRESULT hr = S_OK;
  try {
    // The buttons are up by now; the target decides with those held on entering.
    keyState |= EnterKeyState & (MK_LBUTTON | MK_RBUTTON);
    std::unique_ptr<ShellDropTarget> t;
    if (!target || FAILED(GetDropTargetOfPidl(target, t))) {
      effect = DROPEFFECT_NONE;
    } else {
      uint32_t scratch = effect;
      t->DragEnter(data, keyState, point, scratch);
      t->DragOver(keyState, point, scratch);
      effect &= AllowedDropEffects(data);
      hr = t->Drop(data, keyState, point, effect);
      if (FAILED(hr)) effect = DROPEFFECT_NONE;
    }
  } catch (...) {
    effect = DROPEFFECT_NONE;
    hr = S_OK;
  }
  DataObject = nullptr;
  return hr;
}

bool TPTShellDropHelper::AutoScroll(const QRect& client, QPoint point, int64_t nowMs, int& dx, int& dy) {
  dx = dy = 0;
  if (nowMs - LastScrollTick < 100) return false;
  if (point.x() - client.left() < 26) dx = -1;
  else if (client.right() - point.x() < 26) dx = 1;
  if (point.y() - client.top() < 20) dy = -1;
  else if (client.bottom() - point.y() < 20) dy = 1;
  if (dx == 0 && dy == 0) return false;
  LastScrollTick = nowMs;
  return true;
}

}  // namespace ptshell
