#include "platform/registry/win32_registry.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/registry/machine_hive.h"

namespace {

using ksv::platform::RegistryError;
using ksv::platform::RegistryStore;
using ksv::platform::RegistryType;

enum class Hive { kMachine, kUser };

}  // namespace

struct KsvRegistryKey {
  Hive hive;
  std::string path;  // inside the hive
};

namespace {

// Where HKEY_CLASSES_ROOT lies in the machine hive.
constexpr const char* kClassesPath = "Software\\Classes";

// The values Win32 keeps for predefined keys; none is a key we opened.
bool IsReservedHandle(HKEY key) {
  return (reinterpret_cast<uintptr_t>(key) & ~uintptr_t{0xFF}) == 0x80000000u;
}

// The hive and path of an open or predefined key; false for a handle that
// is none.
bool Resolve(HKEY key, KsvRegistryKey& where) {
  if (key == HKEY_LOCAL_MACHINE) {
    where = {Hive::kMachine, ""};
  } else if (key == HKEY_CLASSES_ROOT) {
    where = {Hive::kMachine, kClassesPath};
  } else if (key == HKEY_CURRENT_USER) {
    where = {Hive::kUser, ""};
  } else if (key == nullptr || IsReservedHandle(key)) {
    return false;  // none, or a predefined key without a hive here (HKEY_USERS ...)
  } else {
    where = *key;
  }
  return true;
}

bool IsPredefined(HKEY key) {
  return key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER;
}

std::shared_ptr<RegistryStore> StoreOf(Hive hive) {
  return hive == Hive::kMachine ? ksv::platform::SharedMachineHive()
                                : ksv::platform::SharedUserHive();
}

std::string Below(const std::string& parent, const char* subKey) {
  if (subKey == nullptr || *subKey == '\0') return parent;
  return RegistryStore::NormaliseKey(parent + "\\" + subKey);
}

// A REG_SZ as the calls hand it out: its text up to the first zero, then one
// zero.
std::string AsDelivered(DWORD type, std::string bytes) {
  if (type == REG_SZ) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    bytes.push_back('\0');
  }
  return bytes;
}

// Copies a value's bytes out as RegQueryValueExA documents it.
LONG Deliver(DWORD found, const std::string& stored, DWORD* type, BYTE* data, DWORD* dataSize) {
  const std::string bytes = AsDelivered(found, stored);
  if (type != nullptr) *type = found;
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = needed;
    return ERROR_SUCCESS;
  }
  const DWORD room = *dataSize;
  *dataSize = needed;
  if (room < needed) return ERROR_MORE_DATA;
  std::memcpy(data, bytes.data(), needed);
  return ERROR_SUCCESS;
}

// Copies a name into a caller's buffer of *size characters.
LONG DeliverName(const std::string& text, char* name, DWORD* size) {
  if (name == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
  if (*size < text.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(name, text.c_str(), text.size() + 1);
  *size = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY key, const char* subKey, bool create, HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KsvRegistryKey parent;
  if (!Resolve(key, parent)) return ERROR_INVALID_HANDLE;
  const std::string path = Below(parent.path, subKey);
  try {
    const auto store = StoreOf(parent.hive);
    const bool existed = store->KeyExists(path);
    if (!existed && !create) return ERROR_FILE_NOT_FOUND;
    if (create) store->CreateKey(path);
    if (disposition != nullptr) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  } catch (const RegistryError&) {
    return create ? ERROR_CANTWRITE : ERROR_CANTREAD;
  }
  *result = new (std::nothrow) KsvRegistryKey{parent.hive, path};
  return *result != nullptr ? ERROR_SUCCESS : ERROR_CANTREAD;
}

// The values of an open key, or an error code.
LONG ListValues(HKEY key, std::vector<RegistryStore::Value>& values) {
  KsvRegistryKey where;
  if (!Resolve(key, where)) return ERROR_INVALID_HANDLE;
  try {
    values = StoreOf(where.hive)->ListValues(where.path);
  } catch (const RegistryError&) {
    return ERROR_CANTREAD;
  }
  return ERROR_SUCCESS;
}

LONG ListSubKeys(HKEY key, std::vector<std::string>& names) {
  KsvRegistryKey where;
  if (!Resolve(key, where)) return ERROR_INVALID_HANDLE;
  try {
    names = StoreOf(where.hive)->ListSubKeys(where.path);
  } catch (const RegistryError&) {
    return ERROR_CANTREAD;
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  return OpenKey(key, subKey, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
  return OpenKey(key, subKey, true, result, disposition);
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  if (key == nullptr || IsReservedHandle(key)) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<RegistryStore::Value> values;
  if (const LONG result = ListValues(key, values); result != ERROR_SUCCESS) return result;
  const char* name = valueName != nullptr ? valueName : "";
  for (const auto& value : values) {
    if (strcasecmp(value.name.c_str(), name) == 0) {
      return Deliver(static_cast<DWORD>(value.type), value.data, type, data, dataSize);
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
  KsvRegistryKey where;
  if (!Resolve(key, where)) return ERROR_INVALID_HANDLE;
  if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
  const char* name = valueName != nullptr ? valueName : "";
  const auto* bytes = reinterpret_cast<const char*>(data);
  std::string_view stored(bytes, data != nullptr ? dataSize : 0);
  RegistryType storedType;
  switch (type) {
    case REG_DWORD:
      if (dataSize != 4) return ERROR_INVALID_PARAMETER;
      storedType = RegistryType::kDword;  // four little-endian bytes, as given
      break;
    case REG_SZ:
      stored = stored.substr(0, strnlen(bytes != nullptr ? bytes : "", stored.size()));
      storedType = RegistryType::kString;
      break;
    case REG_BINARY:
      storedType = RegistryType::kBinary;
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  try {
    StoreOf(where.hive)->SetValue(where.path, name, storedType, stored);
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  KsvRegistryKey where;
  if (!Resolve(key, where)) return ERROR_INVALID_HANDLE;
  try {
    return StoreOf(where.hive)->DeleteValue(where.path, valueName != nullptr ? valueName : "")
               ? ERROR_SUCCESS
               : ERROR_FILE_NOT_FOUND;
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char* className,
                   DWORD* classSize, FILETIME* lastWriteTime) {
  std::vector<std::string> names;
  if (const LONG result = ListSubKeys(key, names); result != ERROR_SUCCESS) return result;
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  if (const LONG result = DeliverName(names[index], name, nameSize); result != ERROR_SUCCESS) {
    return result;
  }
  if (className != nullptr && classSize != nullptr && *classSize > 0) *className = '\0';
  if (classSize != nullptr) *classSize = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD*,
                   DWORD* type, BYTE* data, DWORD* dataSize) {
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<RegistryStore::Value> values;
  if (const LONG result = ListValues(key, values); result != ERROR_SUCCESS) return result;
  if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
  const auto& value = values[index];
  if (const LONG result = DeliverName(value.name, valueName, valueNameSize);
      result != ERROR_SUCCESS) {
    return result;
  }
  return Deliver(static_cast<DWORD>(value.type), value.data, type, data, dataSize);
}

LONG RegQueryInfoKeyA(HKEY key, char* className, DWORD* classSize, DWORD*, DWORD* subKeys,
                      DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values,
                      DWORD* maxValueNameLength, DWORD* maxValueLength,
                      DWORD* securityDescriptorSize, FILETIME* lastWriteTime) {
  std::vector<std::string> names;
  if (const LONG result = ListSubKeys(key, names); result != ERROR_SUCCESS) return result;
  std::vector<RegistryStore::Value> list;
  if (const LONG result = ListValues(key, list); result != ERROR_SUCCESS) return result;
  DWORD longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& name : names) longestKey = std::max(longestKey, DWORD(name.size()));
  for (const auto& value : list) {
    longestName = std::max(longestName, DWORD(value.name.size()));
    longestData = std::max(
        longestData, DWORD(AsDelivered(static_cast<DWORD>(value.type), value.data).size()));
  }
  if (className != nullptr && classSize != nullptr && *classSize > 0) *className = '\0';
  if (classSize != nullptr) *classSize = 0;
  if (subKeys != nullptr) *subKeys = static_cast<DWORD>(names.size());
  if (maxSubKeyLength != nullptr) *maxSubKeyLength = longestKey;
  if (maxClassLength != nullptr) *maxClassLength = 0;
  if (values != nullptr) *values = static_cast<DWORD>(list.size());
  if (maxValueNameLength != nullptr) *maxValueNameLength = longestName;
  if (maxValueLength != nullptr) *maxValueLength = longestData;
  if (securityDescriptorSize != nullptr) *securityDescriptorSize = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  KsvRegistryKey parent;
  if (!Resolve(key, parent)) return ERROR_INVALID_HANDLE;
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string path = Below(parent.path, subKey);
  if (path.empty() || (parent.hive == Hive::kMachine && strcasecmp(path.c_str(), kClassesPath) == 0)) {
    return ERROR_ACCESS_DENIED;  // a hive's root, or the classes root
  }
  try {
    const auto store = StoreOf(parent.hive);
    if (!store->KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    if (!store->ListSubKeys(path).empty()) return ERROR_ACCESS_DENIED;
    store->DeleteTree(path);
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
  KsvRegistryKey parent;
  if (!Resolve(key, parent)) return ERROR_INVALID_HANDLE;
  const std::string path = Below(parent.path, subKey);
  try {
    const auto store = StoreOf(parent.hive);
    if (!store->KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    if (subKey != nullptr && *subKey != '\0') {
      store->DeleteTree(path);
      return ERROR_SUCCESS;
    }
    // Only the contents: each sub-key's tree and each value.
    for (const auto& name : store->ListSubKeys(path)) store->DeleteTree(Below(path, name.c_str()));
    for (const auto& value : store->ListValues(path)) store->DeleteValue(path, value.name);
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}
