#include <algorithm>
#include <cstring>

#include "graph/category_monikers.h"
#include "graph/graph_routines.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/kernel/debug_output.h"

namespace ksv::graph {

std::u16string Wide(const char* text) {
  if (text == nullptr || *text == '\0') return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (count <= 0) return {};
  std::u16string wide(size_t(count), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
  wide.resize(size_t(count) - 1);  // the terminating zero
  return wide;
}

void DebugLine(const char* line) { OutputDebugStringA(line); }

com::ComPtr<IEnumMoniker> EnumerateCategory(REFCLSID category) {
  com::ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, reinterpret_cast<void**>(devices.GetAddressOf())))) {
    return nullptr;
  }
  com::ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(category, monikers.GetAddressOf(), 0) != S_OK) return nullptr;
  return monikers;
}

com::ComPtr<IPropertyBag> OpenPropertyBag(IMoniker* moniker) {
  com::ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    reinterpret_cast<void**>(bag.GetAddressOf())))) {
    return nullptr;
  }
  return bag;
}

bool ReadFriendlyName(IPropertyBag* bag, char* name, size_t capacity) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  if (FAILED(bag->Read(u"FriendlyName", &value, nullptr)) || value.vt != VT_BSTR) {
    VariantClear(&value);
    return false;
  }
  // Converted whole, then cut at a character boundary below the capacity.
  const std::u16string_view wide = com::BstrView(value.bstrVal);
  std::string ansi = com::Utf16ToUtf8(wide);
  VariantClear(&value);
  size_t length = std::min(ansi.size(), capacity - 1);
  while (length > 0 && length < ansi.size() && (uint8_t(ansi[length]) & 0xC0) == 0x80) --length;
  std::memcpy(name, ansi.data(), length);
  name[length] = '\0';
  return true;
}

}  // namespace ksv::graph
