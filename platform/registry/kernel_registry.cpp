#include "platform/registry/kernel_registry.h"

#include <strings.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// A table of direct entries only, read by looking at the key's values in
// place: nothing is copied, so the driver's frequent reads (its settings at
// every stream open, the snapshot request at every button poll) allocate
// nothing. At most 64 entries, one bit each.
struct DirectQuery {
  RTL_QUERY_REGISTRY_TABLE* table;
  uint64_t found = 0;  // entries that received a REG_DWORD

  static void Visit(void* context, const RegistryStore::ValueView& value) {
    auto& query = *static_cast<DirectQuery*>(context);
    uint64_t bit = 1;
    for (RTL_QUERY_REGISTRY_TABLE* entry = query.table;
         entry->Name != nullptr || entry->QueryRoutine != nullptr; ++entry, bit <<= 1) {
      if (entry->Name == nullptr || entry->EntryContext == nullptr ||
          (entry->Flags & RTL_QUERY_REGISTRY_DIRECT) == 0 ||
          value.name.size() != std::strlen(entry->Name) ||
          ::strncasecmp(value.name.data(), entry->Name, value.name.size()) != 0) {
        continue;
      }
      if (value.type == RegistryType::kDword && value.data.size() == 4) {
        std::memcpy(entry->EntryContext, value.data.data(), 4);
        query.found |= bit;
      } else {
        query.found &= ~bit;
      }
    }
  }
};

// How many entries the table has, or nothing when one has a routine (which
// may read the registry itself, so it is not called under the hive's lock).
std::optional<size_t> DirectEntries(const RTL_QUERY_REGISTRY_TABLE* queryTable) {
  size_t count = 0;
  for (const RTL_QUERY_REGISTRY_TABLE* entry = queryTable;
       entry->QueryRoutine != nullptr || entry->Name != nullptr; ++entry, ++count) {
    if (entry->QueryRoutine != nullptr) return std::nullopt;
  }
  return count;
}

void ApplyDefault(RTL_QUERY_REGISTRY_TABLE& entry) {
  if ((entry.Flags & RTL_QUERY_REGISTRY_DIRECT) == 0 || entry.EntryContext == nullptr) return;
  if (entry.DefaultType == REG_DWORD && entry.DefaultData != nullptr && entry.DefaultLength == 4) {
    std::memcpy(entry.EntryContext, entry.DefaultData, 4);
  }
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
  if (const std::optional<size_t> count = DirectEntries(queryTable); count && *count <= 64) {
    DirectQuery query{queryTable};
    try {
      const auto hive = SharedMachineHive();
      if (hive->VisitValues(key, &DirectQuery::Visit, &query) == 0 && !hive->KeyExists(key)) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
      }
    } catch (const RegistryError&) {
      return STATUS_UNSUCCESSFUL;
    }
    for (size_t i = 0; i < *count; ++i) {
      if ((query.found & (uint64_t{1} << i)) == 0 && queryTable[i].Name != nullptr) {
        ApplyDefault(queryTable[i]);
      }
    }
    return STATUS_SUCCESS;
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
    } else {
      ApplyDefault(*entry);
    }
  }
  return STATUS_SUCCESS;
}

}  // namespace ksv::platform::kernel
