// Globally unique identifiers as COM lays them out (Data1..Data4, 16 bytes),
// defined at compile time from their text, compared, ordered, hashed, and
// converted to and from the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/com_types.h"
#include "platform/com/hresult.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef CLSID* LPCLSID;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
// Any strict order, for sorted containers.
constexpr bool operator<(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
  if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
  if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
  }
  return false;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr CLSID CLSID_NULL = GUID_NULL;
inline constexpr IID IID_NULL = GUID_NULL;

namespace ksv::com {

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace detail

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without the braces, hex
// digits in either case; nothing for anything else.
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  uint8_t bytes[16] = {};
  size_t at = 0;
  for (int byte = 0; byte < 16; ++byte) {
    if (at == 8 || at == 13 || at == 18 || at == 23) {
      if (text[at] != '-') return std::nullopt;
      ++at;
    }
    const int high = detail::HexDigit(text[at]);
    const int low = detail::HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[byte] = static_cast<uint8_t>(high * 16 + low);
    at += 2;
  }
  GUID guid{};
  guid.Data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
               static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

// A GUID written as its text, checked at compile time:
//   inline constexpr CLSID CLSID_X = ksv::com::Guid("1B122EA0-139C-11D5-B7CF-009027941EAF");
consteval GUID Guid(const char* text) {
  const std::optional<GUID> guid = ParseGuid(std::string_view(text));
  if (!guid) throw "malformed GUID";  // a compile-time error
  return *guid;
}

// The registry form, upper case, with braces (38 characters).
std::string FormatGuid(REFGUID guid);

}  // namespace ksv::com

template <>
struct std::hash<GUID> {
  size_t operator()(const GUID& guid) const noexcept;
};

/* Writes the registry form with its zero into `text` (room for `size`
 * characters); the count written (39), or 0 when it does not fit. */
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);
/* The registry form in a string from CoTaskMemAlloc. */
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
/* Reads the registry form (braces required): CO_E_CLASSSTRING when `text`
 * is anything else, E_INVALIDARG for a null `clsid`. */
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);
