// Item-ID lists (PIDLs) and the shell utilities every shell control uses:
// measuring, copying, joining and comparing lists, paths and special folders,
// display names, the system image list, links, drive validation and positional
// formatting. PIDLs returned here are allocated through the shell allocator and
// owned by the caller, who frees them with ShellFree (or holds them in a PidlPtr).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/shellnamespace/shell_folder.h"

class QWidget;

namespace shellns {
class SystemImageList;
}

namespace ptshell {

using shellns::HRESULT;
using shellns::S_OK;
using shellns::S_FALSE;
using shellns::E_FAIL;
using shellns::E_INVALIDARG;
using shellns::E_OUTOFMEMORY;
using shellns::E_NOTIMPL;
using shellns::SUCCEEDED;
using shellns::FAILED;

using PItemIDList = uint8_t*;
using PCItemIDList = const uint8_t*;
using ShellFolderPtr = std::shared_ptr<shellns::ShellFolder>;

// Errors of the shell controls; `Result` is the shell's answer when there was one.
class EPTShellError : public std::runtime_error {
 public:
  explicit EPTShellError(const std::string& message, HRESULT result = E_FAIL)
      : std::runtime_error(message), Result(result) {}
  HRESULT Result;
};

// Where exceptions go that must not leave a callback loop (the application's
// exception handler); the default writes a warning.
std::function<void(std::exception_ptr)>& ApplicationExceptionHandler();
void HandleApplicationException(std::exception_ptr e);

// --- allocation ---
class IMalloc {
 public:
  virtual ~IMalloc() = default;
  virtual void* Alloc(size_t size) = 0;
  virtual void Free(void* p) = 0;
};
IMalloc* GetShellMalloc();
void* ShellAlloc(size_t size);
void ShellFree(void* p);

struct PidlDeleter {
  void operator()(uint8_t* p) const { ShellFree(p); }
};
using PidlPtr = std::unique_ptr<uint8_t, PidlDeleter>;

// A shell-allocated copy of bytes that hold a whole list; null when allocation fails.
PItemIDList PidlFromIdList(const shellns::IdList& list, IMalloc* allocator = nullptr);

// --- PIDL handling ---
int GetPidlSize(PCItemIDList pidl);  // 0 for null, 2 for the empty list
PItemIDList CopyPidl(IMalloc* allocator, PCItemIDList pidl);
// A copy its holder frees; a null list copies as the empty list, null only when allocation fails.
inline PidlPtr CopyOf(PCItemIDList pidl) { return PidlPtr(CopyPidl(nullptr, pidl)); }
PItemIDList ConcatPidls(IMalloc* allocator, PCItemIDList first, PCItemIDList second);
inline constexpr int kPidlsNotComparable = 0x7FFFFFFF;
// 0 equal; -1 when exactly one is null or empty; else the desktop's order;
// kPidlsNotComparable when the desktop cannot compare them (never "equal").
int ComparePidls(PCItemIDList a, PCItemIDList b);
HRESULT BindToFolder(PCItemIDList pidl, ShellFolderPtr& folder);
HRESULT PathToPidl(const std::string& path, PItemIDList& pidl);
std::string PidlToPath(PCItemIDList pidl);  // null is the desktop
HRESULT GetSpecialFolderLocation(QWidget* owner, int csidl, PItemIDList& pidl);
std::string SpecialFolderPath(QWidget* owner, int csidl);
uint8_t PidlToSpecialFolder(PCItemIDList pidl);  // 28 when none matches

// --- icons and names ---
inline constexpr uint32_t SHGFI_LARGEICON = 0x0;
inline constexpr uint32_t SHGFI_SMALLICON = 0x1;
inline constexpr uint32_t SHGFI_OPENICON = 0x2;
inline constexpr uint32_t SHGFI_SYSICONINDEX = 0x4000;
inline constexpr uint32_t SHGFI_PIDL = 0x8;
int GetFileIconIndex(PCItemIDList absolute, uint32_t flags);  // 0 on any failure

struct TPTSystemImageList {
  shellns::SystemImageList* List;
  int IconSize;  // 16 small, 32 large
};
// Kind 0 small icons, 1 large icons.
TPTSystemImageList GetSystemImageList(uint8_t kind);
void LoadShellOverlays();
extern bool OverlaysLoaded;

// Display-name kinds: 0 normal, 1 in folder, 2 for parsing.
std::string GetDisplayName(const ShellFolderPtr& folder, PCItemIDList relative, uint8_t kind);

std::string AddTrailingChar(const std::string& text, char c);

// --- links (symbolic links and .desktop launchers stand in for shortcuts) ---
struct TLinkData {
  std::string Path;
  uint32_t Mask = 0;
  std::string Description;
  std::string Arguments;
  std::string IconLocation;
  int32_t IconIndex = 0;
  std::string WorkingDirectory;
  int32_t ShowCmd = 1;
  uint16_t HotKey = 0;
  uint8_t ResolveMode = 0;
  PItemIDList IdList = nullptr;  // owned by the caller
  shellns::StatSnapshot FindData;
};
HRESULT ReadShellLink(const std::string& fileName, TLinkData& data, bool wantIdList);

// --- drives ---
extern int DriveValidationLock;
// Drops the cached mount table so the volumes are read again.
void ValidateDrives();
void BeginNoValidate();
void EndNoValidate();

// --- texts ---
// Positional inserts %1, %2, ...; "%%" gives "%". An insert past the strings
// given yields an empty result; more than 50 strings raise.
std::string FormatStrPos(const std::string& format, const std::vector<std::string>& strings);
// The text without its trailing bytes of value 32 or below (UTF-8 safe).
std::string TrimRightDBCS(const std::string& text);
// Appends the character at the 1-based position (a whole UTF-8 sequence) and advances past it.
void AppendCharAt(const std::string& text, size_t& position, std::string& target);

}  // namespace ptshell
