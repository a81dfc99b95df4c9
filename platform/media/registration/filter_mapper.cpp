#include "platform/media/registration/filter_mapper.h"

#include <algorithm>
#include <new>

#include "platform/com/class_registry.h"
#include "platform/com/registry_moniker.h"
#include "platform/com/wide_text.h"
#include "platform/media/registration/category_store.h"
#include "platform/registry/win32_registry.h"

namespace ksv::media::registration {
namespace {

// What one side (input or output) of a filter must offer.
struct SideWants {
  bool output;
  bool needed;
  DWORD typeCount;
  const GUID* types;  // typeCount major/subtype pairs
  const REGPINMEDIUM* medium;
  const CLSID* category;
  bool render;

  bool HasCriteria() const {
    return (typeCount > 0 && types != nullptr) || medium != nullptr || category != nullptr ||
           render;
  }
};

// GUID_NULL asked matches anything; GUID_NULL registered matches anything
// asked unless an exact match is wanted.
bool GuidMatches(const GUID& wanted, const GUID& registered, bool exact) {
  if (wanted == GUID_NULL) return true;
  if (registered == GUID_NULL) return !exact;
  return wanted == registered;
}

bool TypesMatch(const PinData& pin, const SideWants& wants, bool exact) {
  if (wants.typeCount == 0 || wants.types == nullptr) return true;
  if (pin.types.empty()) return !exact;
  for (DWORD i = 0; i < wants.typeCount; ++i) {
    const GUID& major = wants.types[2 * i];
    const GUID& subtype = wants.types[2 * i + 1];
    for (const PinType& type : pin.types) {
      if (GuidMatches(major, type.major, exact) && GuidMatches(subtype, type.subtype, exact)) {
        return true;
      }
    }
  }
  return false;
}

bool MediumMatches(const PinData& pin, const REGPINMEDIUM* medium, bool exact) {
  if (medium == nullptr) return true;
  if (pin.mediums.empty()) return !exact;
  return std::any_of(pin.mediums.begin(), pin.mediums.end(), [&](const REGPINMEDIUM& m) {
    return m.clsMedium == medium->clsMedium && m.dw1 == medium->dw1 && m.dw2 == medium->dw2;
  });
}

bool SideMatches(const FilterData& data, const SideWants& wants, bool exact) {
  if (!wants.needed && !wants.HasCriteria()) return true;
  return std::any_of(data.pins.begin(), data.pins.end(), [&](const PinData& pin) {
    return pin.IsOutput() == wants.output && TypesMatch(pin, wants, exact) &&
           MediumMatches(pin, wants.medium, exact) &&
           (wants.category == nullptr || GuidMatches(*wants.category, pin.category, exact)) &&
           (!wants.render || pin.IsRendered());
  });
}

// The categories to search: the legacy filter category and the listed
// ones, with their merits.
std::vector<std::pair<CLSID, DWORD>> SearchedCategories() {
  std::vector<std::pair<CLSID, DWORD>> categories{{CLSID_LegacyAmFilterCategory, MERIT_NORMAL}};
  for (const CategoryEntry& listed : ReadCategory(CLSID_ActiveMovieCategories)) {
    if (!listed.clsid) continue;
    const DWORD merit = ReadDword(listed.keyPath, "Merit").value_or(MERIT_DO_NOT_USE);
    auto known = std::find_if(categories.begin(), categories.end(),
                              [&](const auto& c) { return c.first == *listed.clsid; });
    if (known != categories.end()) {
      known->second = merit;
    } else {
      categories.emplace_back(*listed.clsid, merit);
    }
  }
  return categories;
}

std::string InstanceName(const CLSID& filter, LPCOLESTR instance) {
  return instance != nullptr ? com::Utf16ToUtf8(com::WideView(instance)) : com::FormatGuid(filter);
}

}  // namespace

HRESULT FilterMapper::CreateCategory(REFCLSID category, DWORD categoryMerit, LPCWSTR description) {
  if (description == nullptr) return E_POINTER;
  const std::string name = com::Utf16ToUtf8(com::WideView(description));
  const std::string instance = com::FormatGuid(category);
  if (!WriteInstance(CLSID_ActiveMovieCategories, instance, name, category, nullptr) ||
      !WriteDword(InstanceKeyPath(CLSID_ActiveMovieCategories, instance), "Merit", categoryMerit)) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT FilterMapper::UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter) {
  const CLSID& where = category != nullptr ? *category : CLSID_LegacyAmFilterCategory;
  const std::string path = InstanceKeyPath(where, InstanceName(filter, instance));
  const LONG result = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
  return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<uint32_t>(result));
}

HRESULT FilterMapper::RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker,
                                     const CLSID* category, LPCOLESTR instance,
                                     const REGFILTER2* data) {
  if (moniker != nullptr) *moniker = nullptr;
  if (name == nullptr || data == nullptr) return E_POINTER;
  const std::optional<FilterData> filterData = FromRegFilter(*data);
  if (!filterData) return E_INVALIDARG;
  const CLSID& where = category != nullptr ? *category : CLSID_LegacyAmFilterCategory;
  const std::string friendlyName = com::Utf16ToUtf8(com::WideView(name));
  const std::string instanceName = InstanceName(filter, instance);
  const std::vector<uint8_t> bytes = EncodeFilterData(*filterData);
  if (!WriteDefaultText(com::ClassKeyPath(filter), friendlyName) ||
      !WriteInstance(where, instanceName, friendlyName, filter, &bytes)) {
    return E_FAIL;
  }
  if (moniker == nullptr) return S_OK;
  return com::CreateRegistryMoniker(HKEY_CLASSES_ROOT,
                                    InstanceKeyPath(where, instanceName).c_str(), moniker);
}

HRESULT FilterMapper::EnumMatchingFilters(
    IEnumMoniker** enumerator, DWORD /*flags*/, BOOL exactMatch, DWORD merit, BOOL inputNeeded,
    DWORD inputTypeCount, const GUID* inputTypes, const REGPINMEDIUM* inputMedium,
    const CLSID* inputPinCategory, BOOL render, BOOL outputNeeded, DWORD outputTypeCount,
    const GUID* outputTypes, const REGPINMEDIUM* outputMedium, const CLSID* outputPinCategory) {
  if (enumerator == nullptr) return E_POINTER;
  *enumerator = nullptr;
  const bool exact = exactMatch != FALSE;
  const SideWants in{false,       inputNeeded != FALSE, inputTypeCount,  inputTypes,
                     inputMedium, inputPinCategory,     render != FALSE};
  const SideWants out{true,         outputNeeded != FALSE, outputTypeCount, outputTypes,
                      outputMedium, outputPinCategory,     false};

  struct Found {
    DWORD merit;
    std::string keyPath;
    std::string friendlyName;
  };
  std::vector<Found> found;
  for (const auto& [category, categoryMerit] : SearchedCategories()) {
    if (merit > MERIT_DO_NOT_USE && categoryMerit <= MERIT_DO_NOT_USE) continue;
    for (const CategoryEntry& entry : ReadCategory(category)) {
      if (!entry.clsid || !entry.data) continue;
      const DWORD effective = ClassKeyMerit(*entry.clsid).value_or(entry.data->merit);
      if (effective < merit) continue;
      if (!SideMatches(*entry.data, in, exact) || !SideMatches(*entry.data, out, exact)) continue;
      found.push_back({effective, entry.keyPath, entry.friendlyName});
    }
  }
  // By merit, highest first, then by friendly name, as the device enumerator
  // lists a category.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.merit != b.merit) return a.merit > b.merit;
    return FriendlyNameLess(a.friendlyName, b.friendlyName);
  });

  std::vector<com::ComPtr<IMoniker>> monikers;
  for (const Found& filter : found) {
    com::ComPtr<IMoniker> moniker;
    const HRESULT result = com::CreateRegistryMoniker(HKEY_CLASSES_ROOT, filter.keyPath.c_str(),
                                                      moniker.GetAddressOf());
    if (FAILED(result)) return result;
    monikers.push_back(std::move(moniker));
  }
  return com::CreateMonikerEnumerator(std::move(monikers), enumerator);
}

}  // namespace ksv::media::registration
