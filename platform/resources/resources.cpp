// The process's table of compiled-in resources, by module.
#include "platform/resources/resources.h"

#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/gdi/resources.h"
#include "platform/module/module.h"
#include "platform/sync/sync.h"

namespace ksv::platform::resources {
namespace {

struct ModuleResources {
  HMODULE module;
  std::span<const Resource> resources;
};

struct Table {
  std::mutex mutex;
  std::vector<ModuleResources> modules;
};

Table& TheTable() {
  static Table* table = new Table;  // filled from static initializers, read until the end
  return *table;
}

bool IsNumber(const char* name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

// The number a name or type stands for: MAKEINTRESOURCEA(n) or "#n"; 0 for
// a plain string (or a null one).
uint16_t NumberOf(const char* name) {
  if (name == nullptr) return 0;
  if (IsNumber(name)) return static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
  if (name[0] != '#' || name[1] < '0' || name[1] > '9') return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(name + 1, &end, 10);
  return *end == '\0' && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool TypeMatches(const Resource& resource, const char* type) {
  if (const uint16_t number = NumberOf(type); number != 0) return resource.typeId == number;
  return resource.typeName != nullptr && type != nullptr && EqualNoCase(resource.typeName, type);
}

const Resource* Find(HMODULE module, const char* name, const char* type) {
  const uint16_t id = NumberOf(name);
  if (id == 0 || type == nullptr) return nullptr;  // resources here are numbered
  if (module == nullptr) module = GetModuleHandleA(nullptr);
  Table& table = TheTable();
  std::lock_guard guard(table.mutex);
  for (const ModuleResources& entry : table.modules) {
    if (entry.module != module) continue;
    for (const Resource& resource : entry.resources) {
      if (resource.id == id && TypeMatches(resource, type)) return &resource;
    }
  }
  return nullptr;
}

// Whether `resource` is one of the table's (a handle a caller hands back).
bool IsKnown(const Resource* resource) {
  Table& table = TheTable();
  std::lock_guard guard(table.mutex);
  for (const ModuleResources& entry : table.modules) {
    if (!entry.resources.empty() && resource >= entry.resources.data() &&
        resource < entry.resources.data() + entry.resources.size()) {
      return true;
    }
  }
  return false;
}

std::span<const uint8_t> FindForBitmaps(HINSTANCE module, const char* name, const char* type) {
  return FindResourceBytes(module, name, type);
}

}  // namespace

bool RegisterResources(HMODULE module, std::span<const Resource> resources) {
  {
    Table& table = TheTable();
    std::lock_guard guard(table.mutex);
    table.modules.push_back({module, resources});
  }
  gdi::SetResourceFinder(&FindForBitmaps);
  return true;
}

std::span<const uint8_t> FindResourceBytes(HMODULE module, const char* name, const char* type) {
  const Resource* resource = Find(module, name, type);
  if (resource == nullptr) return {};
  return {resource->bytes, resource->size};
}

}  // namespace ksv::platform::resources

using namespace ksv::platform::resources;

extern "C" {

HRSRC FindResourceA(HMODULE module, const char* name, const char* type) {
  const Resource* resource = Find(module, name, type);
  if (resource == nullptr) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return reinterpret_cast<HRSRC>(const_cast<Resource*>(resource));
}

HGLOBAL LoadResource(HMODULE /*module*/, HRSRC handle) {
  const auto* resource = reinterpret_cast<const Resource*>(handle);
  if (resource == nullptr || !IsKnown(resource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return handle;
}

LPVOID LockResource(HGLOBAL loaded) {
  const auto* resource = static_cast<const Resource*>(loaded);
  if (resource == nullptr || !IsKnown(resource)) return nullptr;
  return const_cast<uint8_t*>(resource->bytes);
}

DWORD SizeofResource(HMODULE /*module*/, HRSRC handle) {
  const auto* resource = reinterpret_cast<const Resource*>(handle);
  if (resource == nullptr || !IsKnown(resource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(resource->size);
}

BOOL FreeResource(HGLOBAL /*loaded*/) { return FALSE; }

}  // extern "C"
