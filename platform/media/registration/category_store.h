// The registry side of filter registration: the instance keys of a
// category, a filter's class-key merit and the keys the mapper writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/registration/filter_data.h"

namespace ksv::media::registration {

// "CLSID\{category}\Instance" and one instance below it.
std::string CategoryKeyPath(REFCLSID category);
std::string InstanceKeyPath(REFCLSID category, std::string_view instance);

// One instance of a category as read from its key.
struct CategoryEntry {
  std::string keyPath;       // below HKEY_CLASSES_ROOT
  std::string friendlyName;  // empty when absent
  std::optional<CLSID> clsid;
  std::optional<FilterData> data;  // absent when the key has no FilterData
};

// Friendly names in the order categories list them: without regard to case.
bool FriendlyNameLess(std::string_view a, std::string_view b);

// The instances of a category in key order. An instance whose FilterData
// cannot be read (wrong type, damaged bytes) is left out.
std::vector<CategoryEntry> ReadCategory(REFCLSID category);

// A REG_DWORD value of a key below HKEY_CLASSES_ROOT, when there is one.
std::optional<DWORD> ReadDword(const std::string& keyPath, const char* name);
// The "Merit" REG_DWORD under the filter's class key, when there is one.
std::optional<DWORD> ClassKeyMerit(REFCLSID filter);

// Writes an instance key with its three values. false when the registry
// cannot be written.
bool WriteInstance(REFCLSID category, std::string_view instance, std::string_view friendlyName,
                   REFCLSID filter, const std::vector<uint8_t>* filterData);

// A REG_DWORD value of a key below HKEY_CLASSES_ROOT.
bool WriteDword(const std::string& keyPath, const char* name, DWORD value);
// Sets the key's default value (a class's friendly name), creating the key.
bool WriteDefaultText(const std::string& keyPath, std::string_view text);
// A REG_SZ value of a key below HKEY_CLASSES_ROOT, creating the key.
bool WriteText(const std::string& keyPath, const char* name, std::string_view text);

}  // namespace ksv::media::registration
