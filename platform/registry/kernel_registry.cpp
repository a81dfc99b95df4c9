#include "platform/registry/kernel_registry.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/registry/machine_hive.h"

namespace ksv::platform::kernel {
namespace {

// The key path inside the machine hive, or false for any other path.
bool MachineKeyOf(uint32_t relativeTo, const char* path, std::string& key) {
  constexpr std::string_view kMachine = "\\Registry\\Machine\\";
  if (relativeTo != RTL_REGISTRY_ABSOLUTE || path == nullptr) return false;
  if (std::strlen(path) < kMachine.size() ||
      ::strncasecmp(path, kMachine.data(), kMachine.size()) != 0) {
    return false;
  }
  key = path + kMachine.size();
  return true;
}

}  // namespace

NTSTATUS RtlWriteRegistryValue(uint32_t relativeTo, const char* path, const char* valueName,
                               uint32_t valueType, const void* valueData, uint32_t valueLength) {
  std::string key;
  if (!MachineKeyOf(relativeTo, path, key)) return STATUS_OBJECT_NAME_NOT_FOUND;
  if (valueName == nullptr || (valueData == nullptr && valueLength > 0)) {
    return STATUS_INVALID_PARAMETER;
  }
  try {
    const auto hive = SharedMachineHive();
    if (valueType == REG_DWORD) {
      if (valueLength != 4) return STATUS_INVALID_PARAMETER;
      uint32_t value = 0;
      std::memcpy(&value, valueData, 4);
      hive->SetDword(key, valueName, value);
    } else if (valueType == REG_SZ) {
      const auto* text = static_cast<const char*>(valueData);
      hive->SetString(key, valueName, std::string_view(text, strnlen(text, valueLength)));
    } else {
      return STATUS_INVALID_PARAMETER;
    }
  } catch (const RegistryError&) {
    return STATUS_UNSUCCESSFUL;
  }
  return STATUS_SUCCESS;
}

NTSTATUS RtlQueryRegistryValues(uint32_t relativeTo, const char* path,
                                RTL_QUERY_REGISTRY_TABLE* queryTable, void* context, void*) {
  std::string key;
  if (!MachineKeyOf(relativeTo, path, key) || queryTable == nullptr) {
    return STATUS_OBJECT_NAME_NOT_FOUND;
  }
  std::vector<RegistryStore::Value> values;
  try {
    const auto hive = SharedMachineHive();
    values = hive->ListValues(key);  // the one query
    if (values.empty() && !hive->KeyExists(key)) return STATUS_OBJECT_NAME_NOT_FOUND;
  } catch (const RegistryError&) {
    return STATUS_UNSUCCESSFUL;
  }
  for (RTL_QUERY_REGISTRY_TABLE* entry = queryTable;
       entry->QueryRoutine != nullptr || entry->Name != nullptr; ++entry) {
    if (entry->Name == nullptr) continue;
    const RegistryStore::Value* found = nullptr;
    for (const auto& value : values) {
      if (::strcasecmp(value.name.c_str(), entry->Name) == 0) found = &value;
    }
    if (entry->QueryRoutine != nullptr) {
      if (found == nullptr) continue;
      const NTSTATUS status = entry->QueryRoutine(
          entry->Name, static_cast<uint32_t>(found->type), found->data.data(),
          static_cast<uint32_t>(found->data.size()), context, entry->EntryContext);
      if (!NT_SUCCESS(status)) return status;
      continue;
    }
    if ((entry->Flags & RTL_QUERY_REGISTRY_DIRECT) == 0 || entry->EntryContext == nullptr) continue;
    if (found != nullptr && found->type == RegistryType::kDword && found->data.size() == 4) {
      std::memcpy(entry->EntryContext, found->data.data(), 4);
    } else if (entry->DefaultType == REG_DWORD && entry->DefaultData != nullptr &&
               entry->DefaultLength == 4) {
      std::memcpy(entry->EntryContext, entry->DefaultData, 4);
    }
  }
  return STATUS_SUCCESS;
}

}  // namespace ksv::platform::kernel
