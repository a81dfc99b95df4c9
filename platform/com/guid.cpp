#include "platform/com/guid.h"

#include <cstdio>
#include <cstring>

#include "platform/com/task_memory.h"

namespace ksv::com {

std::string FormatGuid(REFGUID guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

}  // namespace ksv::com

size_t std::hash<GUID>::operator()(const GUID& guid) const noexcept {
  uint64_t halves[2];
  std::memcpy(halves, &guid, sizeof halves);
  return std::hash<uint64_t>()(halves[0] * 0x9E3779B97F4A7C15ull ^ halves[1]);
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
  const std::string narrow = ksv::com::FormatGuid(guid);
  const int needed = static_cast<int>(narrow.size()) + 1;
  if (text == nullptr || size < needed) return 0;
  for (size_t i = 0; i < narrow.size(); ++i) text[i] = static_cast<OLECHAR>(narrow[i]);
  text[narrow.size()] = u'\0';
  return needed;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
  if (text == nullptr) return E_INVALIDARG;
  constexpr int kSize = 39;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc(kSize * sizeof(OLECHAR)));
  if (*text == nullptr) return E_OUTOFMEMORY;
  StringFromGUID2(clsid, *text, kSize);
  return S_OK;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) { return StringFromCLSID(iid, text); }

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (clsid == nullptr) return E_INVALIDARG;
  *clsid = CLSID_NULL;
  if (text == nullptr) return CO_E_CLASSSTRING;
  // Only the 38 characters of the registry form, so a longer text cannot be
  // cut to a valid one.
  char narrow[39];
  size_t length = 0;
  for (; text[length] != u'\0'; ++length) {
    if (length == 38 || text[length] > 0x7F) return CO_E_CLASSSTRING;
    narrow[length] = static_cast<char>(text[length]);
  }
  const std::string_view view(narrow, length);
  if (length != 38) return CO_E_CLASSSTRING;  // the braces are required
  const std::optional<GUID> guid = ksv::com::ParseGuid(view);
  if (!guid) return CO_E_CLASSSTRING;
  *clsid = *guid;
  return S_OK;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) { return CLSIDFromString(text, iid); }
