// For the outside filters' tests: a filter made from the moniker that
// carries `name` as its friendly name in `category`, as clients find them.
#pragma once

#include <string_view>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/wide_text.h"
#include "platform/media/media.h"

namespace ksv::media::testing {

inline com::ComPtr<IBaseFilter> FindFilter(REFCLSID category, std::u16string_view name) {
  com::ComPtr<ICreateDevEnum> devices;
  com::ComPtr<IEnumMoniker> each;
  if (CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                       IID_PPV_ARGS(devices.GetAddressOf())) != S_OK ||
      devices->CreateClassEnumerator(category, each.GetAddressOf(), 0) != S_OK) {
    return nullptr;
  }
  IMoniker* moniker = nullptr;
  while (each->Next(1, &moniker, nullptr) == S_OK) {
    auto held = com::ComPtr<IMoniker>::Adopt(moniker);
    com::ComPtr<IPropertyBag> bag;
    if (FAILED(held->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(bag.GetAddressOf())))) continue;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    if (bag->Read(u"FriendlyName", &value, nullptr) != S_OK) continue;
    const bool match = com::BstrView(value.bstrVal) == name;
    VariantClear(&value);
    if (!match) continue;
    com::ComPtr<IBaseFilter> filter;
    held->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter.GetAddressOf()));
    return filter;
  }
  return nullptr;
}

}  // namespace ksv::media::testing
