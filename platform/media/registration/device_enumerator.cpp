#include "platform/media/registration/device_enumerator.h"

#include <algorithm>

#include "platform/com/registry_moniker.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/registration/hardware_entries.h"

namespace ksv::media::registration {
namespace {

// The merit a category entry is ranked by: its class key's "Merit" when it
// has one, else its FilterData's; an entry with neither ranks last.
DWORD RankingMerit(const CategoryEntry& entry) {
  if (entry.clsid) {
    if (const std::optional<DWORD> merit = ClassKeyMerit(*entry.clsid)) return *merit;
  }
  return entry.data ? entry.data->merit : 0;
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
  // By merit, highest first, then by friendly name: the same order on every
  // machine, and a client that takes the first match of a name takes the
  // filter registered to be preferred.
  std::vector<std::pair<DWORD, CategoryEntry>> ranked;
  ranked.reserve(entries.size());
  for (CategoryEntry& entry : entries) ranked.emplace_back(RankingMerit(entry), std::move(entry));
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first > b.first;
    return FriendlyNameLess(a.second.friendlyName, b.second.friendlyName);
  });
  entries.clear();
  for (auto& [merit, entry] : ranked) entries.push_back(std::move(entry));
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
