#include "platform/shellnamespace/item_id.h"

#include <cstring>

namespace shellns {

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Read64(const uint8_t* p) { return Read32(p) | (static_cast<uint64_t>(Read32(p + 4)) << 32); }

void Put32(IdList& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(IdList& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

void PutStat(IdList& out, const StatSnapshot& s) {
  out.push_back(static_cast<uint8_t>(s.type));
  out.push_back(s.flags);
  Put32(out, s.mode);
  Put64(out, s.size);
  Put64(out, static_cast<uint64_t>(s.mtimeSec));
  Put32(out, s.mtimeNsec);
}

bool ReadStat(const uint8_t* p, StatSnapshot& s) {
  if (p[0] < 1 || p[0] > 3) return false;
  s.type = static_cast<FileType>(p[0]);
  s.flags = p[1];
  s.mode = Read32(p + 2);
  s.size = Read64(p + 6);
  s.mtimeSec = static_cast<int64_t>(Read64(p + 14));
  s.mtimeNsec = Read32(p + 22);
  return s.mtimeNsec < 1000000000u;
}

IdList Finish(IdList item) {
  if (item.size() > kMaxItemSize) return {};
  const auto cb = static_cast<uint16_t>(item.size());
  item[0] = static_cast<uint8_t>(cb);
  item[1] = static_cast<uint8_t>(cb >> 8);
  item.push_back(0);
  item.push_back(0);
  return item;
}

IdList StatItem(ItemKind kind, std::string_view name, const StatSnapshot& stat, std::string_view trashDir = {}) {
  if (!IsValidName(name)) return {};
  if (!trashDir.empty() && (trashDir.front() != '/' || trashDir.find('\0') != std::string_view::npos)) return {};
  IdList item{0, 0, static_cast<uint8_t>(kind)};
  PutStat(item, stat);
  if (!trashDir.empty()) {
    item.insert(item.end(), trashDir.begin(), trashDir.end());
    item.push_back(0);
  }
  item.insert(item.end(), name.begin(), name.end());
  return Finish(std::move(item));
}

bool ValidatePlacement(const uint8_t* list) {
  // Level by level: what may follow what.
  enum class Where { Desktop, Home, Computer, Trash, PathFolder, File, TrashEntry } where = Where::Desktop;
  bool desktopHasPath = true;  // desktop entries live in the desktop folder
  for (const uint8_t* it = list; it; it = NextItem(it)) {
    ItemView v;
    DecodeItem(it, v);
    switch (v.kind) {
      case ItemKind::Root:
        if (where != Where::Desktop) return false;
        where = v.root == RootId::Home ? Where::Home : v.root == RootId::Computer ? Where::Computer : Where::Trash;
        break;
      case ItemKind::Volume:
        if (where != Where::Computer) return false;
        where = Where::PathFolder;
        break;
      case ItemKind::TrashEntry:
        if (where != Where::Trash) return false;
        where = v.stat.type == FileType::Directory ? Where::PathFolder : Where::TrashEntry;
        break;
      case ItemKind::File:
        if (!(where == Where::Home || where == Where::PathFolder || (where == Where::Desktop && desktopHasPath)))
          return false;
        where = v.stat.type == FileType::Directory ? Where::PathFolder : Where::File;
        break;
    }
  }
  return true;
}

}  // namespace

uint16_t ItemSize(const uint8_t* item) { return Read16(item); }

const uint8_t* NextItem(const uint8_t* item) {
  if (!item) return nullptr;
  const uint8_t* next = item + Read16(item);
  return Read16(next) == 0 ? nullptr : next;
}

size_t ItemCount(const uint8_t* list) {
  if (!list) return 0;
  size_t n = 0;
  for (const uint8_t* p = list; Read16(p) != 0; p += Read16(p)) ++n;
  return n;
}

size_t ListSize(const uint8_t* list) {
  if (!list) return 0;
  const uint8_t* p = list;
  while (Read16(p) != 0) p += Read16(p);
  return static_cast<size_t>(p - list) + 2;
}

bool DecodeItem(const uint8_t* item, ItemView& out) {
  const size_t cb = Read16(item);
  if (cb < 4) return false;
  out = ItemView{};
  const uint8_t kind = item[2];
  const uint8_t* body = item + 3;
  const size_t bodySize = cb - 3;
  switch (kind) {
    case static_cast<uint8_t>(ItemKind::Root):
      if (bodySize != 1 || body[0] < 1 || body[0] > 3) return false;
      out.kind = ItemKind::Root;
      out.root = static_cast<RootId>(body[0]);
      return true;
    case static_cast<uint8_t>(ItemKind::Volume): {
      if (bodySize < 2 || body[0] > 7) return false;
      out.kind = ItemKind::Volume;
      out.volumeFlags = body[0];
      out.name = std::string_view(reinterpret_cast<const char*>(body + 1), bodySize - 1);
      return out.name.front() == '/' && out.name.find('\0') == std::string_view::npos;
    }
    case static_cast<uint8_t>(ItemKind::File):
    case static_cast<uint8_t>(ItemKind::TrashEntry):
      if (bodySize <= kStatSnapshotSize || !ReadStat(body, out.stat)) return false;
      out.kind = static_cast<ItemKind>(kind);
      out.name = std::string_view(reinterpret_cast<const char*>(body + kStatSnapshotSize), bodySize - kStatSnapshotSize);
      if (out.kind == ItemKind::TrashEntry) {
        const size_t nul = out.name.find('\0');
        if (nul != std::string_view::npos) {
          out.trashDir = out.name.substr(0, nul);
          out.name = out.name.substr(nul + 1);
          if (out.trashDir.empty() || out.trashDir.front() != '/') return false;
        }
      }
      return IsValidName(out.name);
    default:
      return false;
  }
}

bool ValidateIdList(const uint8_t* data, size_t size, size_t* used) {
  if (!data) return false;
  size_t pos = 0;
  for (;;) {
    if (size - pos < 2) return false;
    const size_t cb = Read16(data + pos);
    if (cb == 0) break;
    if (cb > size - pos) return false;
    ItemView v;
    if (!DecodeItem(data + pos, v)) return false;
    pos += cb;
  }
  if (used) *used = pos + 2;
  return true;
}

bool ValidateAbsoluteIdList(const uint8_t* data, size_t size, size_t* used) {
  size_t n = 0;
  if (!ValidateIdList(data, size, &n) || !ValidatePlacement(data)) return false;
  if (used) *used = n;
  return true;
}

bool IsValidName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

bool ParseIdListArrayBytes(const uint8_t* data, size_t size, IdList& parent, std::vector<IdList>& children) {
  parent.clear();
  children.clear();
  if (!data || size < 8) return false;
  const uint32_t count = Read32(data);
  // Every child takes at least a 4-byte offset and a 2-byte terminator.
  if (count > (size - 8) / 6) return false;
  const size_t header = 4 + 4 * (static_cast<size_t>(count) + 1);
  std::vector<IdList> lists;
  for (uint32_t i = 0; i <= count; ++i) {
    const uint32_t off = Read32(data + 4 + 4 * static_cast<size_t>(i));
    if (off < header || off >= size) return false;
    size_t used = 0;
    if (!ValidateIdList(data + off, size - off, &used)) return false;
    lists.emplace_back(data + off, data + off + used);
  }
  if (!ValidateAbsoluteIdList(lists[0].data(), lists[0].size())) return false;
  for (uint32_t i = 1; i <= count; ++i) {
    const IdList whole = Concat(lists[0].data(), lists[i].data());
    if (ItemCount(lists[i].data()) == 0 || !ValidateAbsoluteIdList(whole.data(), whole.size())) return false;
  }
  parent = std::move(lists[0]);
  children.assign(std::make_move_iterator(lists.begin() + 1), std::make_move_iterator(lists.end()));
  return true;
}

IdList MakeRootItem(RootId id) { return Finish(IdList{0, 0, static_cast<uint8_t>(ItemKind::Root), static_cast<uint8_t>(id)}); }

IdList MakeVolumeItem(std::string_view mountPoint, uint8_t flags) {
  if (mountPoint.empty() || mountPoint.front() != '/' || mountPoint.find('\0') != std::string_view::npos) return {};
  IdList item{0, 0, static_cast<uint8_t>(ItemKind::Volume), static_cast<uint8_t>(flags & 7)};
  item.insert(item.end(), mountPoint.begin(), mountPoint.end());
  return Finish(std::move(item));
}

IdList MakeFileItem(std::string_view name, const StatSnapshot& stat) { return StatItem(ItemKind::File, name, stat); }
IdList MakeTrashItem(std::string_view name, const StatSnapshot& stat, std::string_view trashDir) {
  return StatItem(ItemKind::TrashEntry, name, stat, trashDir);
}

IdList EmptyIdList() { return IdList{0, 0}; }

IdList ToIdList(const uint8_t* list) {
  if (!list) return EmptyIdList();
  return IdList(list, list + ListSize(list));
}

IdList Concat(const uint8_t* first, const uint8_t* second) {
  IdList out;
  const size_t a = first ? ListSize(first) - 2 : 0;
  const size_t b = second ? ListSize(second) - 2 : 0;
  out.reserve(a + b + 2);
  if (a) out.insert(out.end(), first, first + a);
  if (b) out.insert(out.end(), second, second + b);
  out.push_back(0);
  out.push_back(0);
  return out;
}

IdList Prefix(const uint8_t* list, size_t count) {
  IdList out;
  const uint8_t* p = list;
  for (size_t i = 0; p && i < count && Read16(p) != 0; ++i) p += Read16(p);
  if (p && p != list) out.assign(list, p);
  out.push_back(0);
  out.push_back(0);
  return out;
}

IdList ItemAt(const uint8_t* list, size_t index) {
  const uint8_t* p = list;
  for (size_t i = 0; p && i < index && Read16(p) != 0; ++i) p += Read16(p);
  if (!p || Read16(p) == 0) return EmptyIdList();
  IdList out(p, p + Read16(p));
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::string DisplayableName(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
  const size_t n = raw.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) ok = (s[i + k] & 0xC0) == 0x80;
    if (ok && len > 1) {
      uint32_t cp = c & (0x7F >> len);
      for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
      const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
      ok = cp >= minimum[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (ok) {
      out.append(raw.substr(i, len));
      i += len;
    } else {
      out.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return out;
}

}  // namespace shellns
