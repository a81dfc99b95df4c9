// For tests: a filter bound from the moniker of `category` whose
// FriendlyName is `name`, as clients find capture devices, compressors and
// named filters (null when none is; `bound` gets what BindToObject said).
#pragma once

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/variant.h"
#include "platform/media/media.h"

namespace ksv::media::testing {

inline com::ComPtr<IBaseFilter> BindDevice(REFCLSID category, const std::u16string& name,
                                           HRESULT* bound = nullptr) {
  com::ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(devices.GetAddressOf())))) {
    return nullptr;
  }
  com::ComPtr<IEnumMoniker> each;
  if (devices->CreateClassEnumerator(category, each.GetAddressOf(), 0) != S_OK) return nullptr;
  IMoniker* moniker = nullptr;
  while (each->Next(1, &moniker, nullptr) == S_OK) {
    auto held = com::ComPtr<IMoniker>::Adopt(moniker);
    com::ComPtr<IPropertyBag> bag;
    held->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(bag.GetAddressOf()));
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    if (bag->Read(u"FriendlyName", &value, nullptr) != S_OK) continue;
    const bool match = com::BstrView(value.bstrVal) == name;
    VariantClear(&value);
    if (!match) continue;
    com::ComPtr<IBaseFilter> filter;
    const HRESULT result =
        held->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter.GetAddressOf()));
    if (bound != nullptr) *bound = result;
    return filter;
  }
  return nullptr;
}

}  // namespace ksv::media::testing
