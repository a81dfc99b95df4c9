#include "platform/module/module.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/root/system_root.h"

namespace {

namespace fs = std::filesystem;

// Handles are 1-based indexes into the table, never reused, so a handle
// never turns into another module. A system library's entry holds its file
// name only; its folder is the system folder when asked.
struct ModuleEntry {
  std::string path;
  bool inSystemFolder = false;
};
struct ModuleTable {
  std::mutex mutex;
  std::vector<ModuleEntry> modules;
};

ModuleTable& Table() {
  static ModuleTable* table = new ModuleTable;  // used from static destructors too
  return *table;
}

std::string ExecutablePath() {
  std::error_code error;
  const fs::path path = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

// The module's file, or nothing for an unknown handle (or a system library
// while no system root can be had).
bool PathOf(HMODULE module, std::string& path) {
  if (module == nullptr) {
    path = ExecutablePath();
    return !path.empty();
  }
  ModuleEntry entry;
  {
    ModuleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto index = reinterpret_cast<uintptr_t>(module);
    if (index == 0 || index > table.modules.size()) return false;
    entry = table.modules[index - 1];
  }
  if (!entry.inSystemFolder) {
    path = entry.path;
    return true;
  }
  try {
    path = (ksv::platform::SystemRoot() / "system32" / entry.path).string();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string FileNameOf(const ModuleEntry& entry) {
  return entry.inSystemFolder ? entry.path : fs::path(entry.path).filename().string();
}

HMODULE HandleOfIndex(size_t index) { return reinterpret_cast<HMODULE>(index + 1); }

// The handle of the entry, added when the table has none like it.
HMODULE Enter(ModuleEntry entry) {
  ModuleTable& table = Table();
  std::lock_guard lock(table.mutex);
  for (size_t i = 0; i < table.modules.size(); ++i) {
    const ModuleEntry& known = table.modules[i];
    if (known.inSystemFolder == entry.inSystemFolder && known.path == entry.path) {
      return HandleOfIndex(i);
    }
  }
  table.modules.push_back(std::move(entry));
  return HandleOfIndex(table.modules.size() - 1);
}

}  // namespace

extern "C" {

HMODULE GetModuleHandleA(const char* name) {
  ModuleTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (name == nullptr) {
    // The executable registers itself on first use.
    const std::string self = ExecutablePath();
    for (size_t i = 0; i < table.modules.size(); ++i) {
      if (!table.modules[i].inSystemFolder && table.modules[i].path == self) return HandleOfIndex(i);
    }
    table.modules.push_back({self, false});
    return HandleOfIndex(table.modules.size() - 1);
  }
  for (size_t i = 0; i < table.modules.size(); ++i) {
    if (SameNameIgnoringCase(FileNameOf(table.modules[i]), name)) {
      return HandleOfIndex(i);
    }
  }
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  std::string path;
  if (buffer == nullptr || size == 0 || !PathOf(module, path)) return 0;
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

}  // extern "C"

namespace ksv::platform {

HMODULE RegisterModule(std::string_view path) {
  if (path.empty()) return nullptr;
  std::error_code error;
  fs::path full = fs::absolute(fs::path(path), error);
  if (error) full = fs::path(path);
  return Enter({full.lexically_normal().string(), false});
}

HMODULE RegisterSystemModule(std::string_view fileName) {
  if (fileName.empty() || fileName.find('/') != std::string_view::npos) return nullptr;
  return Enter({std::string(fileName), true});
}

}  // namespace ksv::platform
