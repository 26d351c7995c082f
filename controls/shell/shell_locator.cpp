#include "controls/shell/shell_locator.h"

#include <cstring>

#include "platform/shellnamespace/item_id.h"

namespace ptshell {

namespace {

bool IsDesktopPidl(PCItemIDList p) { return !p || shellns::ItemSize(p) == 0; }

}  // namespace

void TPTShellLocator::Assign(const TPTShellLocator* source) {
  if (!source) {
    if (Pidl) {
      ShellFree(Pidl);
      Pidl = nullptr;
      KindValue = kindPidl;
      CsidlValue = shellns::CSIDL_NONE;
      Changed();
    }
    return;
  }
  if (source == this || Equals(*source)) return;
  ShellFree(Pidl);
  Pidl = nullptr;
  KindValue = source->KindValue;
  if (KindValue == kindCsidl) {
    CsidlValue = source->CsidlValue;
  } else {
    CsidlValue = shellns::CSIDL_NONE;
    if (source->Pidl) Pidl = CopyPidl(nullptr, source->Pidl);
  }
  Changed();
}

bool TPTShellLocator::Equals(const TPTShellLocator& other) const {
  if (KindValue != other.KindValue) return false;
  if (&other == this) return true;
  if (KindValue == kindCsidl) return CsidlValue == other.CsidlValue;
  if (IsDesktopPidl(Pidl) && IsDesktopPidl(other.Pidl)) return true;
  return ComparePidls(Pidl, other.Pidl) == 0;
}

PCItemIDList TPTShellLocator::GetPidl() {
  if (KindValue == kindCsidl && !Pidl) GetSpecialFolderLocation(nullptr, CsidlValue, Pidl);
  return Pidl;
}

std::string TPTShellLocator::GetPath() { return PidlToPath(GetPidl()); }

void TPTShellLocator::SetPidl(PCItemIDList pidl) {
  const uint8_t oldKind = KindValue;
  KindValue = kindPidl;
  bool changed;
  if (oldKind == kindCsidl) {
    changed = true;
  } else if (IsDesktopPidl(Pidl) || IsDesktopPidl(pidl)) {
    // The empty PIDL and null both stand for the desktop.
    changed = IsDesktopPidl(Pidl) != IsDesktopPidl(pidl);
  } else {
    // A pair the desktop cannot compare counts as a change.
    changed = ComparePidls(Pidl, pidl) != 0;
  }
  PItemIDList copy = IsDesktopPidl(pidl) ? nullptr : CopyPidl(nullptr, pidl);
  ShellFree(Pidl);
  Pidl = copy;
  CsidlValue = shellns::CSIDL_NONE;
  if (changed) Changed();
}

void TPTShellLocator::SetCsidl(uint8_t csidl) {
  ShellFree(Pidl);
  Pidl = nullptr;
  const bool changed = KindValue != kindCsidl || CsidlValue != csidl;
  KindValue = kindCsidl;
  CsidlValue = csidl;
  if (changed) Changed();
}

void TPTShellLocator::SetPath(const std::string& path) {
  PItemIDList pidl = nullptr;
  if (FAILED(PathToPidl(path, pidl))) {
    SetPidl(nullptr);
    return;
  }
  PidlPtr hold(pidl);
  SetPidl(pidl);
}

void TPTShellLocator::WriteData(std::vector<uint8_t>& out) const {
  out.push_back(KindValue);
  if (KindValue != kindPidl) {
    out.push_back(CsidlValue);
    return;
  }
  const uint32_t size = Pidl ? static_cast<uint32_t>(GetPidlSize(Pidl)) : 0;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  if (Pidl) out.insert(out.end(), Pidl, Pidl + size);
}

bool TPTShellLocator::ReadData(const uint8_t* data, size_t size, size_t* used) {
  if (!data || size < 1) return false;
  if (data[0] != kindPidl) {
    if (size < 2 || data[0] != kindCsidl) return false;
    ShellFree(Pidl);
    Pidl = nullptr;
    KindValue = kindCsidl;
    CsidlValue = data[1];
    if (used) *used = 2;
    return true;
  }
  if (size < 5) return false;
  const uint32_t length = static_cast<uint32_t>(data[1]) | (static_cast<uint32_t>(data[2]) << 8) |
                          (static_cast<uint32_t>(data[3]) << 16) | (static_cast<uint32_t>(data[4]) << 24);
  if (length > size - 5) return false;
  size_t listSize = 0;
  if (length > 0 && (!shellns::ValidateAbsoluteIdList(data + 5, length, &listSize) || listSize != length)) return false;
  ShellFree(Pidl);
  Pidl = nullptr;
  if (length == 0) {
    KindValue = kindCsidl;
    CsidlValue = shellns::CSIDL_DESKTOP;
  } else {
    Pidl = static_cast<PItemIDList>(ShellAlloc(length));
    if (!Pidl) return false;
    std::memcpy(Pidl, data + 5, length);
    KindValue = kindPidl;
    CsidlValue = shellns::CSIDL_NONE;
    // A stored empty list is still the desktop.
    if (length == 2) {
      ShellFree(Pidl);
      Pidl = nullptr;
    }
  }
  if (used) *used = 5 + length;
  return true;
}

}  // namespace ptshell
