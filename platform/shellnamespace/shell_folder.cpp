#include "platform/shellnamespace/shell_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/user_folders.h"

namespace shellns {

std::string ResultText(HRESULT hr) {
  if (const int err = ErrnoOf(hr)) return std::strerror(err);
  switch (static_cast<uint32_t>(hr)) {
    case 0: return "The operation completed successfully.";
    case 0x80004001u: return "Not implemented.";
    case 0x80004004u: return "Operation aborted.";
    case 0x8007000Eu: return "Not enough memory.";
    case 0x80070057u: return "The parameter is incorrect.";
    default: return "Unspecified error.";
  }
}

bool Location::IsFolder() const {
  switch (kind) {
    case Kind::File:
    case Kind::TrashEntry: return stat.type == FileType::Directory;
    default: return true;
  }
}

HRESULT SnapshotOf(const std::string& path, StatSnapshot& out) {
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) return HResultFromErrno(errno);
  out = StatSnapshot{};
  if (S_ISLNK(st.st_mode)) {
    out.flags |= kStatSymlink;
    struct stat target{};
    if (stat(path.c_str(), &target) == 0) {
      st = target;
    } else {
      out.flags |= kStatDangling;
    }
  }
  out.type = S_ISDIR(st.st_mode) ? FileType::Directory : S_ISREG(st.st_mode) ? FileType::Regular : FileType::Other;
  if ((out.flags & kStatDangling) == 0) {
    out.mode = static_cast<uint32_t>(st.st_mode);
    out.size = static_cast<uint64_t>(st.st_size);
    out.mtimeSec = st.st_mtim.tv_sec;
    out.mtimeNsec = static_cast<uint32_t>(st.st_mtim.tv_nsec);
  } else {
    out.mode = static_cast<uint32_t>(S_IFLNK | 0777);
  }
  return S_OK;
}

namespace {

bool DecodeTrusted(const uint8_t* item, ItemView& v) { return item && ItemSize(item) != 0 && DecodeItem(item, v); }

// One step down from a folder location to one of its items.
bool Step(const Location& parent, const ItemView& v, Location& out) {
  out = Location{};
  switch (v.kind) {
    case ItemKind::Root:
      if (parent.kind != Location::Kind::Desktop) return false;
      if (v.root == RootId::Home) {
        out.kind = Location::Kind::Home;
        out.path = HomeDir();
      } else {
        out.kind = v.root == RootId::Computer ? Location::Kind::Computer : Location::Kind::Trash;
      }
      return true;
    case ItemKind::Volume:
      if (parent.kind != Location::Kind::Computer) return false;
      out.kind = Location::Kind::Volume;
      out.path = std::string(v.name);
      out.volumeFlags = v.volumeFlags;
      return true;
    case ItemKind::TrashEntry:
      if (parent.kind != Location::Kind::Trash) return false;
      out.kind = Location::Kind::TrashEntry;
      out.trashDir = v.trashDir.empty() ? HomeTrashDir() : std::string(v.trashDir);
      out.path = JoinPath(JoinPath(out.trashDir, "files"), std::string(v.name));
      out.stat = v.stat;
      return true;
    case ItemKind::File:
      if (!parent.IsFolder() || parent.path.empty() || parent.kind == Location::Kind::Computer ||
          parent.kind == Location::Kind::Trash)
        return false;
      out.kind = Location::Kind::File;
      out.path = JoinPath(parent.path, std::string(v.name));
      out.trashDir = parent.trashDir;
      out.stat = v.stat;
      return true;
  }
  return false;
}

bool Walk(Location start, const uint8_t* relative, Location& out) {
  for (const uint8_t* it = relative; it; it = NextItem(it)) {
    if (ItemSize(it) == 0) break;
    ItemView v;
    Location next;
    if (!DecodeItem(it, v) || !Step(start, v, next)) return false;
    start = std::move(next);
  }
  out = std::move(start);
  return true;
}

Location DesktopLocation() {
  Location d;
  d.kind = Location::Kind::Desktop;
  if (auto dir = DesktopDir()) d.path = *dir;
  return d;
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

HRESULT ReadDirectory(const std::string& path, uint32_t flags, ItemKind kind, std::vector<IdList>& items,
                      const std::string& trashDir = std::string()) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return HResultFromErrno(errno);
  for (;;) {
    errno = 0;
    const dirent* e = readdir(dir);
    if (!e) break;
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (IsHiddenName(name) && !(flags & SHCONTF_INCLUDEHIDDEN)) continue;
    StatSnapshot s;
    if (FAILED(SnapshotOf(JoinPath(path, name), s))) continue;  // vanished meanwhile
    const bool folder = s.type == FileType::Directory;
    if (folder ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS)) continue;
    IdList item = kind == ItemKind::File ? MakeFileItem(name, s) : MakeTrashItem(name, s, trashDir);
    if (!item.empty()) items.push_back(std::move(item));
  }
  const int err = errno;
  closedir(dir);
  return err ? HResultFromErrno(err) : S_OK;
}

int Rank(const ItemView& v) {
  switch (v.kind) {
    case ItemKind::Root: return static_cast<int>(v.root);
    case ItemKind::Volume: return 10;
    case ItemKind::TrashEntry:
    case ItemKind::File: return v.stat.type == FileType::Directory ? 20 : 21;
  }
  return 30;
}

int Sign(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int CompareFolded(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

int CompareRaw(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string_view Extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

int CompareItems(uint32_t column, const ItemView& a, const ItemView& b) {
  if (int c = Sign(Rank(a) - Rank(b))) return c;
  if (a.kind == ItemKind::Root) return 0;
  if (a.kind == ItemKind::Volume) {
    const std::string na = BaseName(std::string(a.name)), nb = BaseName(std::string(b.name));
    if (int c = CompareFolded(na, nb)) return c;
    return CompareRaw(a.name, b.name);
  }
  int c = 0;
  switch (column) {
    case 1: c = Sign(static_cast<long long>(a.stat.size > b.stat.size) - static_cast<long long>(a.stat.size < b.stat.size)); break;
    case 2: c = CompareFolded(Extension(a.name), Extension(b.name)); break;
    case 3:
      c = Sign(a.stat.mtimeSec != b.stat.mtimeSec ? (a.stat.mtimeSec < b.stat.mtimeSec ? -1 : 1)
                                                  : static_cast<long long>(a.stat.mtimeNsec) - b.stat.mtimeNsec);
      break;
    default: break;
  }
  if (c) return c;
  if ((c = CompareFolded(a.name, b.name))) return c;
  if ((c = CompareRaw(a.name, b.name))) return c;
  return CompareRaw(a.trashDir, b.trashDir);
}


}  // namespace

bool HasSubfolder(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  bool found = false;
  while (!found) {
    const dirent* e = readdir(dir);
    if (!e) break;
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (e->d_type == DT_DIR) {
      found = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st{};
      found = fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
  }
  closedir(dir);
  return found;
}


bool Resolve(const uint8_t* absolute, Location& out) { return Walk(DesktopLocation(), absolute, out); }

std::vector<std::string> TrashFolders() {
  std::vector<std::string> out{HomeTrashDir()};
  const std::string own = ".Trash-" + std::to_string(getuid());
  for (const Volume& v : MountTable::Volumes()) {
    const std::string dir = JoinPath(v.mountPoint, own);
    struct stat st{};
    if (dir != out.front() && lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) out.push_back(dir);
  }
  return out;
}

std::string TrashEntryOriginalPath(const std::string& trashDir, const std::string& nameInFiles) {
  const std::string dir = trashDir.empty() ? HomeTrashDir() : trashDir;
  std::ifstream in(JoinPath(JoinPath(dir, "info"), nameInFiles + ".trashinfo"), std::ios::binary);
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inSection = line == "[Trash Info]";
      continue;
    }
    if (inSection && line.compare(0, 5, "Path=") == 0) {
      auto decoded = PercentDecode(line.substr(5));
      if (!decoded || decoded->empty()) return {};
      // A volume's trash may record paths relative to the volume.
      return decoded->front() == '/' ? *decoded : JoinPath(DirName(dir), *decoded);
    }
  }
  return {};
}

std::shared_ptr<ShellFolder> ShellFolder::Desktop() {
  return std::shared_ptr<ShellFolder>(new ShellFolder(EmptyIdList(), DesktopLocation()));
}

HRESULT ShellFolder::Bind(const uint8_t* absolute, std::shared_ptr<ShellFolder>& out) {
  out.reset();
  Location where;
  if (!Resolve(absolute, where) || !where.IsFolder()) return E_INVALIDARG;
  out = std::shared_ptr<ShellFolder>(new ShellFolder(ToIdList(absolute), std::move(where)));
  return S_OK;
}

HRESULT ShellFolder::ChildLocation(const uint8_t* relative, Location& out) const {
  return Walk(where_, relative, out) ? S_OK : E_INVALIDARG;
}

HRESULT ShellFolder::EnumObjects(uint32_t flags, std::vector<IdList>& items) const {
  items.clear();
  switch (where_.kind) {
    case Location::Kind::Desktop:
      if (flags & SHCONTF_FOLDERS)
        for (RootId id : {RootId::Home, RootId::Computer, RootId::Trash}) items.push_back(MakeRootItem(id));
      if (!where_.path.empty()) {
        std::vector<IdList> entries;
        if (SUCCEEDED(ReadDirectory(where_.path, flags, ItemKind::File, entries)))
          items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
      }
      return S_OK;
    case Location::Kind::Computer:
      if (flags & SHCONTF_FOLDERS)
        for (const Volume& v : MountTable::Volumes()) {
          IdList item = MakeVolumeItem(v.mountPoint, v.flags);
          if (!item.empty()) items.push_back(std::move(item));
        }
      return S_OK;
    case Location::Kind::Trash: {
      const std::vector<std::string> trashes = TrashFolders();
      for (size_t i = 0; i < trashes.size(); ++i) {
        const std::string files = JoinPath(trashes[i], "files");
        struct stat st{};
        if (stat(files.c_str(), &st) != 0) continue;  // no trash there yet
        std::vector<IdList> entries;
        const HRESULT hr = ReadDirectory(files, flags | SHCONTF_INCLUDEHIDDEN, ItemKind::TrashEntry, entries,
                                         i == 0 ? std::string() : trashes[i]);
        if (FAILED(hr) && i == 0) return hr;
        items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
      }
      return S_OK;
    }
    default:
      if (!where_.IsFolder()) return E_INVALIDARG;
      return ReadDirectory(where_.path, flags, ItemKind::File, items);
  }
}

HRESULT ShellFolder::CompareIDs(uint32_t column, const uint8_t* a, const uint8_t* b) const {
  const uint8_t* x = a;
  const uint8_t* y = b;
  for (;;) {
    const bool endA = !x || ItemSize(x) == 0, endB = !y || ItemSize(y) == 0;
    if (endA || endB) return CompareResult(endA == endB ? 0 : endA ? -1 : 1);
    ItemView va, vb;
    if (!DecodeItem(x, va) || !DecodeItem(y, vb)) return E_INVALIDARG;
    if (int c = CompareItems(column & 0xFFFF, va, vb)) return CompareResult(c);
    x = NextItem(x);
    y = NextItem(y);
  }
}

uint32_t ShellFolder::AttributesOf(const Location& where, const ItemView& item, uint32_t mask) {
  uint32_t a = 0;
  switch (where.kind) {
    case Location::Kind::Desktop: a = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER; break;
    case Location::Kind::Home:
      a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET |
          SFGAO_CANCOPY | SFGAO_CANLINK;
      break;
    case Location::Kind::Computer:
      a = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_HASPROPSHEET;
      break;
    case Location::Kind::Trash: a = SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET; break;
    case Location::Kind::Volume:
      a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET |
          SFGAO_CANCOPY | SFGAO_CANLINK;
      if (where.volumeFlags & kVolumeRemovable) a |= SFGAO_REMOVABLE;
      break;
    case Location::Kind::File:
      a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_HASPROPSHEET |
          SFGAO_FILESYSTEM;
      break;
    case Location::Kind::TrashEntry:
      // No move: a trash entry leaves the trash only with its info file.
      a = SFGAO_CANCOPY | SFGAO_CANDELETE | SFGAO_HASPROPSHEET | SFGAO_FILESYSTEM;
      break;
  }
  if (where.kind == Location::Kind::File || where.kind == Location::Kind::TrashEntry) {
    if (where.stat.type == FileType::Directory) a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
    if (where.stat.flags & kStatSymlink) a |= SFGAO_LINK;
    if (IsHiddenName(item.name)) a |= SFGAO_HIDDEN;
  }
  if ((mask & SFGAO_HASSUBFOLDER) && (a & SFGAO_FOLDER) && !where.path.empty() &&
      where.kind != Location::Kind::Desktop && HasSubfolder(where.path))
    a |= SFGAO_HASSUBFOLDER;
  if ((mask & SFGAO_READONLY) && !where.path.empty() && access(where.path.c_str(), W_OK) != 0 &&
      (errno == EACCES || errno == EROFS || errno == EPERM))
    a |= SFGAO_READONLY;
  return a & mask;
}

HRESULT ShellFolder::GetAttributesOf(size_t count, const uint8_t* const* items, uint32_t& inOut) const {
  if (inOut & SFGAO_VALIDATE) MountTable::Invalidate();
  uint32_t result = inOut & ~SFGAO_VALIDATE;
  for (size_t i = 0; i < count; ++i) {
    ItemView v;
    Location child;
    if (!DecodeTrusted(items[i], v) || FAILED(ChildLocation(items[i], child))) return E_INVALIDARG;
    // The attributes are those of the last item of a multi-level list.
    const uint8_t* last = items[i];
    for (const uint8_t* n = NextItem(last); n; n = NextItem(n)) last = n;
    DecodeItem(last, v);
    result &= AttributesOf(child, v, result);
  }
  inOut = result;
  return S_OK;
}

HRESULT ShellFolder::GetDisplayNameOf(const uint8_t* item, uint32_t flags, std::string& name) const {
  name.clear();
  Location where = where_;
  ItemView v;
  bool self = !item || ItemSize(item) == 0;
  if (!self) {
    if (FAILED(ChildLocation(item, where))) return E_INVALIDARG;
    const uint8_t* last = item;
    for (const uint8_t* n = NextItem(last); n; n = NextItem(n)) last = n;
    DecodeItem(last, v);
  }
  const bool parsing = flags & SHGDN_FORPARSING;
  const bool inFolder = flags & SHGDN_INFOLDER;
  switch (where.kind) {
    case Location::Kind::Desktop: name = parsing ? where.path : "Desktop"; break;
    case Location::Kind::Home: name = parsing && !inFolder ? where.path : "Home"; break;
    case Location::Kind::Computer: name = parsing ? "computer:///" : "Computer"; break;
    case Location::Kind::Trash: name = parsing ? "trash:///" : "Trash"; break;
    case Location::Kind::Volume:
      if (parsing) name = where.path;
      else name = where.path == "/" ? "File System" : DisplayableName(BaseName(where.path));
      break;
    case Location::Kind::File:
    case Location::Kind::TrashEntry: {
      const std::string raw = BaseName(where.path);
      if (parsing) {
        name = inFolder ? raw : where.path;
      } else if (where.kind == Location::Kind::TrashEntry && self == false && v.kind == ItemKind::TrashEntry) {
        const std::string original = TrashEntryOriginalPath(where.trashDir, raw);
        name = DisplayableName(original.empty() ? raw : BaseName(original));
      } else {
        name = DisplayableName(raw);
      }
      break;
    }
  }
  return S_OK;
}

HRESULT ShellFolder::ParseDisplayName(const std::string& name, IdList& relative) const {
  relative.clear();
  if (where_.kind == Location::Kind::Desktop) {
    if (name.empty()) {
      relative = EmptyIdList();
      return S_OK;
    }
    if (name == "computer:///" || name == "computer:") {
      relative = MakeRootItem(RootId::Computer);
      return S_OK;
    }
    if (name == "trash:///" || name == "trash:") {
      relative = MakeRootItem(RootId::Trash);
      return S_OK;
    }
    if (name.front() == '/') return PathToIdList(name, relative);
  }
  if (where_.kind == Location::Kind::Computer) {
    if (name.empty() || name.front() != '/') return E_INVALIDARG;
    const std::string path = CleanPath(name);
    const Volume vol = MountTable::VolumeOf(path);
    const IdList volumeItem = MakeVolumeItem(vol.mountPoint, vol.flags);
    std::string rest = path.substr(vol.mountPoint == "/" ? 1 : vol.mountPoint.size());
    if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    if (rest.empty()) {
      relative = volumeItem;
      return S_OK;
    }
    std::shared_ptr<ShellFolder> volume;
    IdList below;
    HRESULT hr = BindToObject(volumeItem.data(), volume);
    if (SUCCEEDED(hr)) hr = volume->ParseDisplayName(rest, below);
    if (FAILED(hr)) return hr;
    relative = Concat(volumeItem.data(), below.data());
    return S_OK;
  }
  if (where_.path.empty() || !where_.IsFolder() || where_.kind == Location::Kind::Trash) return E_INVALIDARG;
  if (name.empty() || name.front() == '/') return E_INVALIDARG;
  std::string path = where_.path;
  IdList out = EmptyIdList();
  size_t i = 0;
  while (i <= name.size()) {
    size_t j = name.find('/', i);
    if (j == std::string::npos) j = name.size();
    const std::string part = name.substr(i, j - i);
    i = j + 1;
    if (part.empty() || part == ".") {
      if (j == name.size()) break;
      continue;
    }
    if (part == "..") return E_INVALIDARG;
    path = JoinPath(path, part);
    StatSnapshot s;
    HRESULT hr = SnapshotOf(path, s);
    if (FAILED(hr)) return hr;
    IdList item = where_.kind == Location::Kind::Trash ? MakeTrashItem(part, s) : MakeFileItem(part, s);
    if (item.empty()) return HResultFromErrno(ENAMETOOLONG);
    if (j < name.size() && s.type != FileType::Directory) return HResultFromErrno(ENOTDIR);
    out = Concat(out.data(), item.data());
    if (j == name.size()) break;
  }
  relative = std::move(out);
  return S_OK;
}

HRESULT ShellFolder::BindToObject(const uint8_t* relative, std::shared_ptr<ShellFolder>& out) const {
  out.reset();
  Location where;
  if (FAILED(ChildLocation(relative, where)) || !where.IsFolder()) return E_INVALIDARG;
  out = std::shared_ptr<ShellFolder>(new ShellFolder(Concat(absolute_.data(), relative), std::move(where)));
  return S_OK;
}

HRESULT ShellFolder::SetNameOf(const uint8_t* item, const std::string& newName, uint32_t, IdList& newItem) const {
  newItem.clear();
  ItemView v;
  Location child;
  if (!DecodeTrusted(item, v) || NextItem(item) || v.kind != ItemKind::File || FAILED(ChildLocation(item, child)))
    return E_INVALIDARG;
  if (!IsValidName(newName)) return HResultFromErrno(EINVAL);
  if (newName == v.name) {
    newItem = ToIdList(item);
    return S_OK;
  }
  const std::string target = JoinPath(where_.path, newName);
  HRESULT hr = RenameNoReplace(child.path, target);
  if (FAILED(hr)) return hr;
  StatSnapshot s;
  hr = SnapshotOf(target, s);
  if (FAILED(hr)) return hr;
  newItem = MakeFileItem(newName, s);
  return newItem.empty() ? HResultFromErrno(ENAMETOOLONG) : S_OK;
}

HRESULT PathToIdList(const std::string& rawPath, IdList& out) {
  out.clear();
  if (rawPath.empty() || rawPath.front() != '/') return E_INVALIDARG;
  const std::string path = CleanPath(rawPath);
  IdList base;
  std::string basePath;
  const auto desktop = DesktopDir();
  const std::string home = HomeDir();
  if (desktop && path != *desktop && PathIsWithin(path, *desktop)) {
    base = EmptyIdList();
    basePath = *desktop;
  } else if (home != "/" && PathIsWithin(path, home)) {
    base = MakeRootItem(RootId::Home);
    basePath = home;
  } else {
    const Volume vol = MountTable::VolumeOf(path);
    base = Concat(MakeRootItem(RootId::Computer).data(), MakeVolumeItem(vol.mountPoint, vol.flags).data());
    basePath = vol.mountPoint;
  }
  std::string rest = path.substr(basePath == "/" ? 1 : basePath.size());
  if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  if (rest.empty()) {
    out = std::move(base);
    return S_OK;
  }
  HRESULT hr = S_OK;
  std::string cur = basePath;
  IdList acc = EmptyIdList();
  size_t i = 0;
  while (i < rest.size()) {
    size_t j = rest.find('/', i);
    if (j == std::string::npos) j = rest.size();
    const std::string part = rest.substr(i, j - i);
    i = j + 1;
    cur = JoinPath(cur, part);
    StatSnapshot s;
    if (FAILED(hr = SnapshotOf(cur, s))) return hr;
    if (j < rest.size() && s.type != FileType::Directory) return HResultFromErrno(ENOTDIR);
    IdList item = MakeFileItem(part, s);
    if (item.empty()) return HResultFromErrno(ENAMETOOLONG);
    acc = Concat(acc.data(), item.data());
  }
  out = Concat(base.data(), acc.data());
  return S_OK;
}

std::string IdListToPath(const uint8_t* absolute) {
  Location where;
  if (!Resolve(absolute, where)) return {};
  return where.path;
}

HRESULT SpecialFolderLocation(int csidl, IdList& out) {
  out.clear();
  std::optional<std::string> path;
  switch (csidl & 0x7F) {
    case CSIDL_DESKTOP: out = EmptyIdList(); return S_OK;
    case CSIDL_BITBUCKET: out = MakeRootItem(RootId::Trash); return S_OK;
    case CSIDL_DRIVES: out = MakeRootItem(RootId::Computer); return S_OK;
    case CSIDL_PROFILE: out = MakeRootItem(RootId::Home); return S_OK;
    case CSIDL_PERSONAL: path = UserDir("DOCUMENTS"); break;
    case CSIDL_SENDTO: path = SendToDir(); break;
    case CSIDL_MYMUSIC: path = UserDir("MUSIC"); break;
    case CSIDL_MYVIDEO: path = UserDir("VIDEOS"); break;
    case CSIDL_DESKTOPDIRECTORY: path = UserDir("DESKTOP"); break;
    case CSIDL_FONTS: path = JoinPath(DataHomeDir(), "fonts"); break;
    case CSIDL_TEMPLATES: path = UserDir("TEMPLATES"); break;
    case CSIDL_APPDATA: path = DataHomeDir(); break;
    case CSIDL_MYPICTURES: path = UserDir("PICTURES"); break;
    default: return E_INVALIDARG;
  }
  if (!path) return E_FAIL;
  struct stat st{};
  if (stat(path->c_str(), &st) != 0) return HResultFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return HResultFromErrno(ENOTDIR);
  return PathToIdList(*path, out);
}

}  // namespace shellns
