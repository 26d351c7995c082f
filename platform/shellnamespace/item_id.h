// Item-ID lists of the Linux shell namespace: the binary chain of items, each
// led by an unsigned 16-bit little-endian byte count that includes itself and
// ended by a 16-bit zero (the empty list is the desktop), and the items this
// namespace puts in it.
//
// Item layout after the count: one kind byte, then
//   Root        one RootId byte (Home, Computer, Trash; only at the top level)
//   Volume      one VolumeFlags byte, then the mount point's absolute path bytes
//   File        a 26-byte StatSnapshot, then the raw name bytes
//   TrashEntry  a 26-byte StatSnapshot, then, for a trash other than the home
//               trash, that trash folder's absolute path and a NUL, then the raw
//               name inside its files/ folder
// Names are raw bytes (Linux names need not be UTF-8). Decode only to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shellns {

// An item-ID list as bytes, always ending with its 2-byte terminator.
using IdList = std::vector<uint8_t>;

enum class ItemKind : uint8_t { Root = 0x1F, Volume = 0x2F, File = 0x31, TrashEntry = 0x41 };
enum class RootId : uint8_t { Home = 1, Computer = 2, Trash = 3 };

enum VolumeFlags : uint8_t { kVolumeRootFs = 1, kVolumeRemovable = 2, kVolumeNetwork = 4 };

enum class FileType : uint8_t { Directory = 1, Regular = 2, Other = 3 };
enum StatFlags : uint8_t { kStatSymlink = 1, kStatDangling = 2 };

// What a resync needs to notice a changed file; taken from lstat, with the type
// (and size and time) of the target for a symbolic link that resolves.
struct StatSnapshot {
  FileType type = FileType::Regular;
  uint8_t flags = 0;
  uint32_t mode = 0;
  uint64_t size = 0;
  int64_t mtimeSec = 0;
  uint32_t mtimeNsec = 0;
};
inline constexpr size_t kStatSnapshotSize = 26;

// The largest item: its count is 16 bits.
inline constexpr size_t kMaxItemSize = 0xFFFF;

// One decoded item; the views point into the item's bytes.
struct ItemView {
  ItemKind kind = ItemKind::Root;
  RootId root = RootId::Home;
  uint8_t volumeFlags = 0;
  StatSnapshot stat;
  std::string_view name;  // raw name (File, TrashEntry) or mount point (Volume)
  std::string_view trashDir;  // TrashEntry of a volume's trash; empty for the home trash
};

// Byte counts of a trusted, terminated list.
uint16_t ItemSize(const uint8_t* item);
const uint8_t* NextItem(const uint8_t* item);  // null at the terminator
size_t ItemCount(const uint8_t* list);          // 0 for null
size_t ListSize(const uint8_t* list);           // including the terminator; 0 for null

// Decodes one item of a trusted list; false when its layout is not one of ours.
bool DecodeItem(const uint8_t* item, ItemView& out);

// Checks bytes from outside (streams, clipboard, drops): every count in range,
// the terminator inside `size`, every item decodable and well formed (names
// without '/' or NUL and not "." or ".."; mount points absolute). On success
// `used` receives the list's size including the terminator.
bool ValidateIdList(const uint8_t* data, size_t size, size_t* used = nullptr);
// Also checks that the items stand where the namespace puts them (roots only at
// the top, volumes under Computer, trash entries under Trash, files under a
// folder that has a path).
bool ValidateAbsoluteIdList(const uint8_t* data, size_t size, size_t* used = nullptr);

// One-item lists; empty (not even a terminator) when the name does not fit an
// item or is not a valid name: over-long names are errors, never truncated.
IdList MakeRootItem(RootId id);
IdList MakeVolumeItem(std::string_view mountPoint, uint8_t flags);
IdList MakeFileItem(std::string_view name, const StatSnapshot& stat);
IdList MakeTrashItem(std::string_view name, const StatSnapshot& stat, std::string_view trashDir = {});

IdList EmptyIdList();
IdList ToIdList(const uint8_t* list);  // a copy; the empty list for null
IdList Concat(const uint8_t* first, const uint8_t* second);
// The first `count` items.
IdList Prefix(const uint8_t* list, size_t count);
// The item at `index` as a one-item list.
IdList ItemAt(const uint8_t* list, size_t index);

bool IsValidName(std::string_view name);

// Reads a "Shell IDList Array" block (CIDA: 32-bit count, count + 1 offsets
// from the block's start, the parent first, then the lists they point at).
// Checks counts, offsets and every list (the parent and each parent + child as
// absolute lists) and copies them out; false for anything malformed.
bool ParseIdListArrayBytes(const uint8_t* data, size_t size, IdList& parent, std::vector<IdList>& children);

// Raw bytes shown as text: valid UTF-8 passes through, every invalid byte becomes U+FFFD.
std::string DisplayableName(std::string_view raw);

}  // namespace shellns
