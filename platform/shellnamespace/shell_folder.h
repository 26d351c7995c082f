// The shell namespace over the Linux file system, in place of the Windows
// shell's folders: the desktop holds Home, Computer (the root file system and
// the user's volumes from the mount table), Trash (the XDG home trash) and the
// entries of the XDG desktop folder; below them lie ordinary directories.
// Left out: network neighbourhood, printers, control panel, libraries, shared
// folders (no item is ever marked as shared) and per-folder column handlers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/shellnamespace/hresult.h"
#include "platform/shellnamespace/item_id.h"

namespace shellns {

// Enumeration flags.
inline constexpr uint32_t SHCONTF_FOLDERS = 0x20;
inline constexpr uint32_t SHCONTF_NONFOLDERS = 0x40;
inline constexpr uint32_t SHCONTF_INCLUDEHIDDEN = 0x80;

// Item attributes.
inline constexpr uint32_t SFGAO_CANCOPY = 0x1;
inline constexpr uint32_t SFGAO_CANMOVE = 0x2;
inline constexpr uint32_t SFGAO_CANLINK = 0x4;
inline constexpr uint32_t SFGAO_CANRENAME = 0x10;
inline constexpr uint32_t SFGAO_CANDELETE = 0x20;
inline constexpr uint32_t SFGAO_HASPROPSHEET = 0x40;
inline constexpr uint32_t SFGAO_DROPTARGET = 0x100;
inline constexpr uint32_t SFGAO_LINK = 0x10000;
inline constexpr uint32_t SFGAO_SHARE = 0x20000;
inline constexpr uint32_t SFGAO_READONLY = 0x40000;
inline constexpr uint32_t SFGAO_GHOSTED = 0x80000;
inline constexpr uint32_t SFGAO_HIDDEN = 0x80000;
inline constexpr uint32_t SFGAO_VALIDATE = 0x01000000;
inline constexpr uint32_t SFGAO_REMOVABLE = 0x02000000;
inline constexpr uint32_t SFGAO_FILESYSANCESTOR = 0x10000000;
inline constexpr uint32_t SFGAO_FOLDER = 0x20000000;
inline constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;
inline constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

// Display-name flags.
inline constexpr uint32_t SHGDN_NORMAL = 0;
inline constexpr uint32_t SHGDN_INFOLDER = 0x1;
inline constexpr uint32_t SHGDN_FOREDITING = 0x1000;
inline constexpr uint32_t SHGDN_FORADDRESSBAR = 0x4000;
inline constexpr uint32_t SHGDN_FORPARSING = 0x8000;

// Special folders by CSIDL; 28 stands for none.
inline constexpr int CSIDL_DESKTOP = 0;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_SENDTO = 9;
inline constexpr int CSIDL_BITBUCKET = 10;
inline constexpr int CSIDL_MYMUSIC = 13;
inline constexpr int CSIDL_MYVIDEO = 14;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;
inline constexpr int CSIDL_DRIVES = 17;
inline constexpr int CSIDL_FONTS = 20;
inline constexpr int CSIDL_TEMPLATES = 21;
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr int CSIDL_NONE = 28;
inline constexpr int CSIDL_MYPICTURES = 39;
inline constexpr int CSIDL_PROFILE = 40;

// Where an absolute list leads.
struct Location {
  enum class Kind { Desktop, Home, Computer, Trash, Volume, File, TrashEntry };
  Kind kind = Kind::Desktop;
  std::string path;          // file-system path; empty for Computer, Trash and a desktop without folder
  StatSnapshot stat;         // File and TrashEntry
  uint8_t volumeFlags = 0;   // Volume
  std::string trashDir;      // TrashEntry and below: the trash folder holding the entry
  bool IsFolder() const;
};

// Resolves a well-formed absolute list (see ValidateAbsoluteIdList); false when it is not.
bool Resolve(const uint8_t* absolute, Location& out);

// The snapshot of a path as lstat (and stat through a link) sees it.
HRESULT SnapshotOf(const std::string& path, StatSnapshot& out);

class ShellFolder {
 public:
  // The namespace's root.
  static std::shared_ptr<ShellFolder> Desktop();
  // The folder an absolute list leads to; E_INVALIDARG when it leads to no folder.
  static HRESULT Bind(const uint8_t* absolute, std::shared_ptr<ShellFolder>& out);

  const IdList& AbsoluteIdList() const { return absolute_; }
  const Location& Where() const { return where_; }
  // The folder's file-system path; empty for folders without one (Computer, Trash).
  const std::string& Path() const { return where_.path; }

  // All items at once, in no particular order (sort with CompareIDs); S_OK or an
  // errno result from reading the folder.
  HRESULT EnumObjects(uint32_t shcontf, std::vector<IdList>& items) const;
  // Total order of relative lists (one or more levels): column 0 name, 1 size,
  // 2 type, 3 modified; folders first; ties broken on the raw bytes. The answer's
  // low word is the signed result (CompareCode); E_INVALIDARG for foreign items.
  HRESULT CompareIDs(uint32_t column, const uint8_t* a, const uint8_t* b) const;
  // The attributes all items share, and-ed with the in-out mask.
  HRESULT GetAttributesOf(size_t count, const uint8_t* const* items, uint32_t& inOut) const;
  // A name of an item (null or empty: of the folder itself) by SHGDN flags: with
  // FORPARSING the path (raw bytes) or a URI for Computer and Trash; otherwise the
  // displayable name.
  HRESULT GetDisplayNameOf(const uint8_t* item, uint32_t shgdn, std::string& name) const;
  // A relative list for a name or "a/b" path below this folder; the desktop also
  // takes absolute paths, "computer:///" and "trash:///". Every part must exist.
  HRESULT ParseDisplayName(const std::string& name, IdList& relative) const;
  HRESULT BindToObject(const uint8_t* relative, std::shared_ptr<ShellFolder>& out) const;
  // Renames a file-system item, never replacing an existing one (EEXIST).
  HRESULT SetNameOf(const uint8_t* item, const std::string& newName, uint32_t shgdn, IdList& newItem) const;

  // Item attributes and display names without a folder object.
  static uint32_t AttributesOf(const Location& where, const ItemView& item, uint32_t mask);

 private:
  ShellFolder(IdList absolute, Location where) : absolute_(std::move(absolute)), where_(std::move(where)) {}
  HRESULT ChildLocation(const uint8_t* relative, Location& out) const;
  IdList absolute_;
  Location where_;
};

// The desktop's ParseDisplayName for a path: below the desktop folder as a
// desktop entry, below home under Home, else under its volume in Computer.
HRESULT PathToIdList(const std::string& path, IdList& out);
// The file-system path of an absolute list; empty when it has none.
std::string IdListToPath(const uint8_t* absolute);
HRESULT SpecialFolderLocation(int csidl, IdList& out);

// The original path recorded for a trash entry (its .trashinfo Path, made
// absolute for a volume's trash), empty when unreadable. An empty trash folder
// means the home trash.
std::string TrashEntryOriginalPath(const std::string& trashDir, const std::string& nameInFiles);
// The trash folders the Trash shows: the home trash, then each volume's .Trash-<uid>.
std::vector<std::string> TrashFolders();

// Whether a folder holds a folder (links to folders count). Opens the folder,
// which can take long or hang on a network mount: keep it off the GUI thread.
bool HasSubfolder(const std::string& path);

}  // namespace shellns
