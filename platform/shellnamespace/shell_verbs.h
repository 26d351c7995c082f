// Verbs of shell items, in place of the shell's context-menu handlers: open
// with the desktop's default handler, cut, copy and paste through the clipboard,
// delete to the trash (permanently with Shift), after confirmation, restore from
// the trash, rename
// (left to the view: it edits the label), properties, and drops onto folders,
// the trash and Send To entries. Left out: "Open with", third-party menu
// extensions, "Create shortcut" from the menu and the "New" submenu of documents.
#pragma once

#include <QPoint>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/shellnamespace/shell_folder.h"

class QMimeData;
class QWidget;

namespace shellns {

// Command offsets as the shell's own menus number them.
inline constexpr int kCmdOpen = 0;
inline constexpr int kCmdDelete = 17;
inline constexpr int kCmdRename = 18;
inline constexpr int kCmdProperties = 19;
inline constexpr int kCmdCut = 24;
inline constexpr int kCmdCopy = 25;
inline constexpr int kCmdPaste = 26;
inline constexpr int kCmdRestore = 27;

// Context-menu flags.
inline constexpr uint32_t CMF_NORMAL = 0;
inline constexpr uint32_t CMF_DEFAULTONLY = 0x1;
inline constexpr uint32_t CMF_EXPLORE = 0x4;
inline constexpr uint32_t CMF_CANRENAME = 0x10;

struct ShellCommand {
  int offset = 0;
  std::string verb;
  QString text;  // with & mnemonics
  QString help;
  bool isDefault = false;
  bool separatorBefore = false;
};

struct InvokeInfo {
  QWidget* owner = nullptr;
  bool shiftDown = false;  // delete for good instead of to the trash
  bool noConfirmation = false;  // delete without asking first
};

class ShellContextMenu {
 public:
  // The verbs of items of `folder` (relative lists), or of the folder's
  // background when `items` is empty. E_INVALIDARG for items foreign to the folder.
  static HRESULT Create(std::shared_ptr<ShellFolder> folder, std::vector<IdList> items,
                        std::unique_ptr<ShellContextMenu>& out);

  // The commands for the flags (CMF_CANRENAME adds rename, CMF_DEFAULTONLY keeps the default only).
  std::vector<ShellCommand> Commands(uint32_t flags) const;
  // The offset of a verb (case-insensitive), -1 when no command carries it.
  int OffsetOfVerb(const std::string& verb) const;
  // The verb or the help text of a command; E_INVALIDARG for an unknown offset.
  HRESULT GetCommandString(int offset, bool helpText, std::string& out) const;
  HRESULT InvokeCommand(int offset, const InvokeInfo& info);

  const std::shared_ptr<ShellFolder>& Folder() const { return folder_; }
  const std::vector<IdList>& Items() const { return items_; }

 private:
  std::vector<std::string> ItemPaths() const;
  HRESULT Delete(const InvokeInfo& info);
  HRESULT Paste(const InvokeInfo& info);
  HRESULT Properties(const InvokeInfo& info);
  HRESULT Restore(const InvokeInfo& info);
  std::shared_ptr<ShellFolder> folder_;
  std::vector<IdList> items_;
  uint32_t attributes_ = 0;
  std::vector<ShellCommand> all_;
};

// Key state bits and drop effects as the drop protocol passes them.
inline constexpr uint32_t MK_LBUTTON = 0x1;
inline constexpr uint32_t MK_RBUTTON = 0x2;
inline constexpr uint32_t MK_SHIFT = 0x4;
inline constexpr uint32_t MK_CONTROL = 0x8;
inline constexpr uint32_t MK_MBUTTON = 0x10;
inline constexpr uint32_t MK_ALT = 0x20;
inline constexpr uint32_t DROPEFFECT_NONE = 0;
inline constexpr uint32_t DROPEFFECT_COPY = 1;
inline constexpr uint32_t DROPEFFECT_MOVE = 2;
inline constexpr uint32_t DROPEFFECT_LINK = 4;
inline constexpr uint32_t DROPEFFECT_SCROLL = 0x80000000u;

// The drop target of a shell item: a folder (copy, move or link into it), the
// trash (move into it), or a program or .desktop launcher (start it with the
// paths). The effect follows the modifiers: Ctrl copy, Shift move, Ctrl+Shift
// or Alt link, none of them move within a volume and copy across volumes.
class ShellDropTarget {
 public:
  // E_INVALIDARG when the item takes no drops.
  static HRESULT Create(const uint8_t* absolute, std::unique_ptr<ShellDropTarget>& out);

  HRESULT DragEnter(const QMimeData* data, uint32_t keyState, QPoint point, uint32_t& effect);
  HRESULT DragOver(uint32_t keyState, QPoint point, uint32_t& effect);
  HRESULT DragLeave();
  // Carries out the drop; the effect becomes what was done (none on failure).
  HRESULT Drop(const QMimeData* data, uint32_t keyState, QPoint point, uint32_t& effect);

  // The effect a drop of these paths would have, from the allowed effects.
  uint32_t EffectFor(const std::vector<std::string>& paths, uint32_t keyState, uint32_t allowed) const;

 private:
  enum class Kind { Folder, Trash, Program };
  Kind kind_ = Kind::Folder;
  std::string path_;
  std::vector<std::string> dragged_;
};

}  // namespace shellns
