#include "platform/media/registration/category_store.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/com/class_registry.h"
#include "platform/registry/win32_registry.h"

namespace ksv::media::registration {

bool FriendlyNameLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

namespace {

class Key {
 public:
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(const std::string& path) {
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  bool Create(const std::string& path) {
    DWORD disposition = 0;
    return RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &key_, &disposition) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A value's bytes when it has `type`.
std::optional<std::vector<uint8_t>> ReadValue(HKEY key, const char* name, DWORD wanted) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != wanted) return std::nullopt;
  std::vector<uint8_t> bytes(size);
  if (RegQueryValueExA(key, name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

std::optional<std::string> ReadText(HKEY key, const char* name) {
  const auto bytes = ReadValue(key, name, REG_SZ);
  if (!bytes) return std::nullopt;
  std::string text(bytes->begin(), bytes->end());
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool SetText(HKEY key, const char* name, std::string_view text) {
  const std::string copy(text);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy.c_str()),
                        static_cast<DWORD>(copy.size() + 1)) == ERROR_SUCCESS;
}

std::vector<std::string> SubKeys(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[512];
    DWORD size = sizeof(name);
    const LONG result = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name, size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
  }
  return names;
}

}  // namespace

std::string CategoryKeyPath(REFCLSID category) {
  return com::ClassKeyPath(category) + "\\Instance";
}

std::string InstanceKeyPath(REFCLSID category, std::string_view instance) {
  return CategoryKeyPath(category) + "\\" + std::string(instance);
}

std::vector<CategoryEntry> ReadCategory(REFCLSID category) {
  std::vector<CategoryEntry> entries;
  Key categoryKey;
  if (!categoryKey.Open(CategoryKeyPath(category))) return entries;
  for (const std::string& name : SubKeys(categoryKey.get())) {
    CategoryEntry entry;
    entry.keyPath = InstanceKeyPath(category, name);
    Key instance;
    if (!instance.Open(entry.keyPath)) continue;
    entry.friendlyName = ReadText(instance.get(), "FriendlyName").value_or("");
    if (const auto clsid = ReadText(instance.get(), "CLSID")) entry.clsid = com::ParseGuid(*clsid);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(instance.get(), "FilterData", nullptr, &type, nullptr, &size) ==
        ERROR_SUCCESS) {
      const auto bytes = ReadValue(instance.get(), "FilterData", REG_BINARY);
      if (!bytes) continue;
      entry.data = DecodeFilterData(bytes->data(), bytes->size());
      if (!entry.data) continue;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<DWORD> ClassKeyMerit(REFCLSID filter) {
  return ReadDword(com::ClassKeyPath(filter), "Merit");
}

std::optional<DWORD> ReadDword(const std::string& keyPath, const char* name) {
  Key key;
  if (!key.Open(keyPath)) return std::nullopt;
  const auto bytes = ReadValue(key.get(), name, REG_DWORD);
  if (!bytes || bytes->size() != 4) return std::nullopt;
  DWORD merit = 0;
  std::memcpy(&merit, bytes->data(), 4);
  return merit;
}

bool WriteInstance(REFCLSID category, std::string_view instance, std::string_view friendlyName,
                   REFCLSID filter, const std::vector<uint8_t>* filterData) {
  Key key;
  if (!key.Create(InstanceKeyPath(category, instance))) return false;
  if (!SetText(key.get(), "FriendlyName", friendlyName)) return false;
  if (!SetText(key.get(), "CLSID", com::FormatGuid(filter))) return false;
  if (filterData == nullptr) return true;
  return RegSetValueExA(key.get(), "FilterData", 0, REG_BINARY, filterData->data(),
                        static_cast<DWORD>(filterData->size())) == ERROR_SUCCESS;
}

bool WriteDword(const std::string& keyPath, const char* name, DWORD value) {
  Key key;
  return key.Create(keyPath) &&
         RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) ==
             ERROR_SUCCESS;
}

bool WriteDefaultText(const std::string& keyPath, std::string_view text) {
  return WriteText(keyPath, "", text);
}

bool WriteText(const std::string& keyPath, const char* name, std::string_view text) {
  Key key;
  return key.Create(keyPath) && SetText(key.get(), name, text);
}

}  // namespace ksv::media::registration
