#include "platform/media/registration/device_enumerator.h"

#include <algorithm>
#include <cctype>

#include "platform/com/registry_moniker.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/registration/hardware_entries.h"

namespace ksv::media::registration {
namespace {

bool NameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

HRESULT SystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator,
                                                DWORD /*flags*/) {
  if (enumerator == nullptr) return E_POINTER;
  *enumerator = nullptr;
  if (category == CLSID_VideoInputDeviceCategory || category == CLSID_AudioInputDeviceCategory) {
    PublishHardwareCaptureDevices(category);
  }
  std::vector<CategoryEntry> entries = ReadCategory(category);
  if (entries.empty()) return S_FALSE;
  std::stable_sort(entries.begin(), entries.end(),
                   [](const CategoryEntry& a, const CategoryEntry& b) {
                     return NameLess(a.friendlyName, b.friendlyName);
                   });
  std::vector<com::ComPtr<IMoniker>> monikers;
  for (const CategoryEntry& entry : entries) {
    com::ComPtr<IMoniker> moniker;
    const HRESULT result = com::CreateRegistryMoniker(HKEY_CLASSES_ROOT, entry.keyPath.c_str(),
                                                      moniker.GetAddressOf());
    if (FAILED(result)) return result;
    monikers.push_back(std::move(moniker));
  }
  return com::CreateMonikerEnumerator(std::move(monikers), enumerator);
}

}  // namespace ksv::media::registration
