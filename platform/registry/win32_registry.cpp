#include "platform/registry/win32_registry.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/registry/machine_hive.h"

struct KsvRegistryKey {
  std::string path;  // inside the machine hive
};

namespace {

using ksv::platform::RegistryError;
using ksv::platform::RegistryStore;
using ksv::platform::RegistryType;
using ksv::platform::SharedMachineHive;

// The hive path of an open key; false for a handle that is none.
bool PathOf(HKEY key, std::string& path) {
  if (key == HKEY_LOCAL_MACHINE) {
    path.clear();
    return true;
  }
  if (key == nullptr) return false;
  path = key->path;
  return true;
}

std::string Below(const std::string& parent, const char* subKey) {
  if (subKey == nullptr || *subKey == '\0') return parent;
  return RegistryStore::NormaliseKey(parent + "\\" + subKey);
}

LONG OpenKey(HKEY key, const char* subKey, bool create, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string parent;
  if (!PathOf(key, parent)) return ERROR_INVALID_HANDLE;
  const std::string path = Below(parent, subKey);
  try {
    const auto hive = SharedMachineHive();
    if (create) {
      hive->CreateKey(path);
    } else if (!hive->KeyExists(path)) {
      return ERROR_FILE_NOT_FOUND;
    }
  } catch (const RegistryError&) {
    return create ? ERROR_CANTWRITE : ERROR_CANTREAD;
  }
  *result = new (std::nothrow) KsvRegistryKey{path};
  return *result != nullptr ? ERROR_SUCCESS : ERROR_CANTREAD;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  return OpenKey(key, subKey, false, result);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
  if (disposition != nullptr) *disposition = 1;  // REG_CREATED_NEW_KEY or not: not told apart
  return OpenKey(key, subKey, true, result);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  std::string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string name = valueName != nullptr ? valueName : "";
  std::string bytes;
  DWORD found = REG_NONE;
  try {
    for (const auto& value : SharedMachineHive()->ListValues(path)) {
      if (strcasecmp(value.name.c_str(), name.c_str()) == 0) {
        found = static_cast<DWORD>(value.type);
        bytes = value.data;
      }
    }
  } catch (const RegistryError&) {
    return ERROR_CANTREAD;
  }
  if (found == REG_NONE) return ERROR_FILE_NOT_FOUND;
  if (found == REG_SZ) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    bytes.push_back('\0');
  }
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

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
  std::string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
  const char* name = valueName != nullptr ? valueName : "";
  try {
    const auto hive = SharedMachineHive();
    if (type == REG_DWORD) {
      if (dataSize != 4) return ERROR_INVALID_PARAMETER;
      uint32_t value = 0;
      std::memcpy(&value, data, 4);
      hive->SetDword(path, name, value);
    } else if (type == REG_SZ) {
      const auto* text = reinterpret_cast<const char*>(data);
      hive->SetString(path, name, std::string_view(text, dataSize > 0 ? strnlen(text, dataSize) : 0));
    } else {
      return ERROR_INVALID_PARAMETER;
    }
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  try {
    return SharedMachineHive()->DeleteValue(path, valueName != nullptr ? valueName : "")
               ? ERROR_SUCCESS
               : ERROR_FILE_NOT_FOUND;
  } catch (const RegistryError&) {
    return ERROR_CANTWRITE;
  }
}
