// Result codes of the shell layer: the 32-bit HRESULT values the shell controls
// compare against, with errno mapped into the Win32 facility so a failure keeps
// its real cause and can be shown with the system's own text.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace shellns {

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
// Facility 7 carries an errno value in the low 16 bits.
inline constexpr uint32_t kErrnoFacility = 0x80070000u;

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT HResultFromErrno(int err) {
  return err == 0 ? E_FAIL : static_cast<HRESULT>(kErrnoFacility | (static_cast<uint32_t>(err) & 0xFFFFu));
}

// The errno carried by a facility-7 result, 0 for any other.
inline constexpr int ErrnoOf(HRESULT hr) {
  return (static_cast<uint32_t>(hr) & 0xFFFF0000u) == kErrnoFacility ? static_cast<int>(hr & 0xFFFF) : 0;
}

// A success code carrying a signed 16-bit comparison result in its low word,
// the form in which folders answer CompareIDs.
inline constexpr HRESULT CompareResult(int c) {
  return static_cast<HRESULT>(static_cast<uint16_t>(c < 0 ? -1 : (c > 0 ? 1 : 0)));
}
inline constexpr int CompareCode(HRESULT hr) { return static_cast<int16_t>(static_cast<uint16_t>(hr & 0xFFFF)); }

// The system's text for a result: strerror for errno results, a fixed text otherwise.
std::string ResultText(HRESULT hr);

}  // namespace shellns
