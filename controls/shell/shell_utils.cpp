#include "controls/shell/shell_utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QtGlobal>
#include <cstdlib>
#include <cstring>

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_icons.h"
#include "platform/shellnamespace/user_folders.h"

namespace ptshell {

using namespace shellns;

bool OverlaysLoaded = false;
int DriveValidationLock = 0;

namespace {

class TaskAllocator final : public IMalloc {
 public:
  void* Alloc(size_t size) override { return std::malloc(size ? size : 1); }
  void Free(void* p) override { std::free(p); }
};

}  // namespace

std::function<void(std::exception_ptr)>& ApplicationExceptionHandler() {
  static std::function<void(std::exception_ptr)> handler = [](std::exception_ptr e) {
    try {
      if (e) std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      qWarning("%s", ex.what());
    } catch (...) {
      qWarning("Unknown exception");
    }
  };
  return handler;
}

void HandleApplicationException(std::exception_ptr e) {
  if (auto& h = ApplicationExceptionHandler()) h(e);
}

IMalloc* GetShellMalloc() {
  static TaskAllocator allocator;
  return &allocator;
}
void* ShellAlloc(size_t size) { return GetShellMalloc()->Alloc(size); }
void ShellFree(void* p) {
  if (p) GetShellMalloc()->Free(p);
}

PItemIDList PidlFromIdList(const IdList& list, IMalloc* allocator) {
  IMalloc* m = allocator ? allocator : GetShellMalloc();
  const size_t size = list.size() < 2 ? 2 : list.size();
  auto* p = static_cast<PItemIDList>(m->Alloc(size));
  if (!p) return nullptr;
  if (list.size() >= 2) std::memcpy(p, list.data(), list.size());
  else p[0] = p[1] = 0;
  return p;
}

int GetPidlSize(PCItemIDList pidl) { return pidl ? static_cast<int>(ListSize(pidl)) : 0; }

PItemIDList CopyPidl(IMalloc* allocator, PCItemIDList pidl) { return PidlFromIdList(ToIdList(pidl), allocator); }

PItemIDList ConcatPidls(IMalloc* allocator, PCItemIDList first, PCItemIDList second) {
  return PidlFromIdList(Concat(first, second), allocator);
}

int ComparePidls(PCItemIDList a, PCItemIDList b) {
  if (!a && !b) return 0;
  if (!a || !b) return -1;
  const bool ea = ItemSize(a) == 0, eb = ItemSize(b) == 0;
  if (ea && eb) return 0;
  if (ea || eb) return -1;
  const HRESULT hr = ShellFolder::Desktop()->CompareIDs(0, a, b);
  return SUCCEEDED(hr) ? CompareCode(hr) : kPidlsNotComparable;
}

HRESULT BindToFolder(PCItemIDList pidl, ShellFolderPtr& folder) {
  folder.reset();
  if (!pidl || ItemSize(pidl) == 0) {
    folder = ShellFolder::Desktop();
    return S_OK;
  }
  return ShellFolder::Desktop()->BindToObject(pidl, folder);
}

HRESULT PathToPidl(const std::string& path, PItemIDList& pidl) {
  pidl = nullptr;
  IdList list;
  const HRESULT hr = ShellFolder::Desktop()->ParseDisplayName(path, list);
  if (FAILED(hr)) return hr;
  pidl = PidlFromIdList(list);
  return pidl ? S_OK : E_OUTOFMEMORY;
}

std::string PidlToPath(PCItemIDList pidl) {
  const IdList desktop = EmptyIdList();
  return IdListToPath(pidl ? pidl : desktop.data());
}

HRESULT GetSpecialFolderLocation(QWidget*, int csidl, PItemIDList& pidl) {
  pidl = nullptr;
  IdList list;
  const HRESULT hr = SpecialFolderLocation(csidl & 0x7F, list);
  if (FAILED(hr)) return hr;
  pidl = PidlFromIdList(list);
  return pidl ? S_OK : E_OUTOFMEMORY;
}

std::string SpecialFolderPath(QWidget* owner, int csidl) {
  PItemIDList pidl = nullptr;
  if (FAILED(GetSpecialFolderLocation(owner, csidl, pidl))) return {};
  PidlPtr hold(pidl);
  return PidlToPath(pidl);
}

uint8_t PidlToSpecialFolder(PCItemIDList pidl) {
  for (int csidl = 0; csidl < CSIDL_NONE; ++csidl) {
    PItemIDList location = nullptr;
    if (FAILED(GetSpecialFolderLocation(nullptr, csidl, location))) continue;
    PidlPtr hold(location);
    if (ComparePidls(location, pidl) == 0) return static_cast<uint8_t>(csidl);
  }
  return CSIDL_NONE;
}

int GetFileIconIndex(PCItemIDList absolute, uint32_t flags) {
  try {
    const IdList desktop = EmptyIdList();
    return IconIndexOfIdList(absolute ? absolute : desktop.data(), (flags & SHGFI_OPENICON) != 0);
  } catch (...) {
    return 0;
  }
}

TPTSystemImageList GetSystemImageList(uint8_t kind) {
  if (!OverlaysLoaded) LoadShellOverlays();
  return TPTSystemImageList{&SystemImageList::Instance(), kind == 0 ? 16 : 32};
}

void LoadShellOverlays() {
  // The overlays live in the image list itself; touching them loads them once.
  SystemImageList::Instance().Overlay(1);
  SystemImageList::Instance().Overlay(2);
  OverlaysLoaded = true;
}

std::string GetDisplayName(const ShellFolderPtr& folder, PCItemIDList relative, uint8_t kind) {
  const ShellFolderPtr f = folder ? folder : ShellFolder::Desktop();
  const uint32_t flags = kind == 1 ? SHGDN_INFOLDER : kind == 2 ? SHGDN_FORPARSING : SHGDN_NORMAL;
  std::string name;
  return SUCCEEDED(f->GetDisplayNameOf(relative, flags, name)) ? name : std::string();
}

std::string AddTrailingChar(const std::string& text, char c) {
  if (text.empty() || text.back() == c) return text;
  return text + c;
}

HRESULT ReadShellLink(const std::string& fileName, TLinkData& data, bool wantIdList) {
  struct stat st{};
  if (lstat(fileName.c_str(), &st) != 0) return HResultFromErrno(errno);
  if (S_ISLNK(st.st_mode)) {
    std::string target;
    if (int err = ReadLinkTarget(fileName, st.st_size, target)) return HResultFromErrno(err);
    if (target.empty() || target.front() != '/') target = JoinPath(DirName(fileName), target);
    data.Path = CleanPath(target);
    data.WorkingDirectory = DirName(data.Path);
  } else if (fileName.size() > 8 && fileName.compare(fileName.size() - 8, 8, ".desktop") == 0) {
    std::map<std::string, std::string> entry = DesktopEntryValues(fileName);
    const std::string type = entry["Type"], url = entry["URL"], exec = entry["Exec"];
    if (auto it = entry.find("Comment"); it != entry.end()) data.Description = it->second;
    if (auto it = entry.find("Icon"); it != entry.end()) data.IconLocation = it->second;
    if (auto it = entry.find("Path"); it != entry.end()) data.WorkingDirectory = it->second;
    if (type == "Link") {
      if (url.compare(0, 7, "file://") == 0) {
        auto p = PercentDecode(url.substr(7));
        data.Path = p ? *p : std::string();
      } else {
        data.Path = url;
      }
    } else if (type == "Application") {
      const size_t sp = exec.find(' ');
      data.Path = exec.substr(0, sp);
      data.Arguments = sp == std::string::npos ? std::string() : exec.substr(sp + 1);
    } else {
      return E_FAIL;
    }
  } else {
    return E_INVALIDARG;  // not a link
  }
  if (data.Path.empty()) return E_FAIL;
  data.Mask = 63;
  data.IdList = nullptr;
  if (!data.Path.empty() && data.Path.front() == '/') {
    SnapshotOf(data.Path, data.FindData);
    if (wantIdList) PathToPidl(data.Path, data.IdList);
  }
  return S_OK;
}

void ValidateDrives() {
  if (DriveValidationLock > 0) return;
  ShellFolderPtr computer;
  const IdList drives = MakeRootItem(RootId::Computer);
  if (FAILED(ShellFolder::Desktop()->BindToObject(drives.data(), computer)))
    throw EPTShellError("The Computer folder cannot be opened.");
  uint32_t mask = SFGAO_VALIDATE;
  computer->GetAttributesOf(0, nullptr, mask);
}

void BeginNoValidate() { ++DriveValidationLock; }
void EndNoValidate() { --DriveValidationLock; }

std::string FormatStrPos(const std::string& format, const std::vector<std::string>& strings) {
  if (format.empty()) return {};
  if (strings.size() > 50) throw EPTShellError("FormatStrPos: Too many substitution strings");
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out.push_back(format[i]);
      continue;
    }
    const char n = format[i + 1];
    if (n == '%') {
      out.push_back('%');
      ++i;
    } else if (n >= '1' && n <= '9') {
      size_t j = i + 1, index = 0;
      while (j < format.size() && j < i + 3 && format[j] >= '0' && format[j] <= '9') index = index * 10 + static_cast<size_t>(format[j++] - '0');
      if (index == 0 || index > strings.size()) return {};
      out += strings[index - 1];
      i = j - 1;
    } else {
      out.push_back('%');
    }
  }
  return out;
}

std::string TrimRightDBCS(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(0, end);
}

void AppendCharAt(const std::string& text, size_t& position, std::string& target) {
  if (position < 1 || position > text.size()) return;
  const auto c = static_cast<unsigned char>(text[position - 1]);
  size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  len = std::min(len, text.size() - (position - 1));
  target.append(text, position - 1, len);
  position += len;
}

}  // namespace ptshell
