// TPTShellLocator names one folder of the shell namespace, as a special folder
// (CSIDL) or as an absolute PIDL, and tells its owner when it changes. Controls
// link by assigning one locator to another, which copies. Forms store it in the
// binary property "Pidl": a kind byte; then a CSIDL byte, or a 32-bit
// little-endian length (0 for none) and that many PIDL bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/shell/shell_utils.h"

namespace ptshell {

class TPTShellLocator {
 public:
  enum : uint8_t { kindPidl = 0, kindCsidl = 1 };

  TPTShellLocator() = default;
  ~TPTShellLocator() { ShellFree(Pidl); }
  TPTShellLocator(const TPTShellLocator&) = delete;
  TPTShellLocator& operator=(const TPTShellLocator&) = delete;

  // Copies `source` (null: back to the desktop); fires OnChange unless equal.
  void Assign(const TPTShellLocator* source);
  bool Equals(const TPTShellLocator& other) const;
  void Reset() { SetPidl(nullptr); }

  // Not a copy: null stands for the desktop.
  PCItemIDList GetPidl();
  std::string GetPath();
  // Copies the PIDL; the empty PIDL is stored as null (the desktop).
  void SetPidl(PCItemIDList pidl);
  void SetCsidl(uint8_t csidl);
  // A path that does not parse falls back to the desktop.
  void SetPath(const std::string& path);

  uint8_t Kind() const { return KindValue; }
  uint8_t Csidl() const { return CsidlValue; }

  // The "Pidl" property: stored when a PIDL is held or the kind is special folder.
  bool IsStored() const { return Pidl != nullptr || KindValue == kindCsidl; }
  void WriteData(std::vector<uint8_t>& out) const;
  // Reads a stored property; false (the locator unchanged) for malformed data.
  bool ReadData(const uint8_t* data, size_t size, size_t* used = nullptr);

  std::function<void(TPTShellLocator* sender)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  uint8_t KindValue = kindPidl;
  PItemIDList Pidl = nullptr;  // owned; the held PIDL, or the cached special folder's
  uint8_t CsidlValue = shellns::CSIDL_NONE;
};

}  // namespace ptshell
