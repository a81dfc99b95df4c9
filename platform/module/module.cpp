#include "platform/module/module.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Handles are 1-based indexes into the table, never reused, so a handle
// never turns into another module.
struct ModuleTable {
  std::mutex mutex;
  std::vector<std::string> paths;
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

// The module's file, or nothing for an unknown handle.
bool PathOf(HMODULE module, std::string& path) {
  if (module == nullptr) {
    path = ExecutablePath();
    return !path.empty();
  }
  ModuleTable& table = Table();
  std::lock_guard lock(table.mutex);
  const auto index = reinterpret_cast<uintptr_t>(module);
  if (index == 0 || index > table.paths.size()) return false;
  path = table.paths[index - 1];
  return true;
}

HMODULE HandleOfIndex(size_t index) { return reinterpret_cast<HMODULE>(index + 1); }

}  // namespace

extern "C" {

HMODULE GetModuleHandleA(const char* name) {
  ModuleTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (name == nullptr) {
    // The executable registers itself on first use.
    const std::string self = ExecutablePath();
    for (size_t i = 0; i < table.paths.size(); ++i) {
      if (table.paths[i] == self) return HandleOfIndex(i);
    }
    table.paths.push_back(self);
    return HandleOfIndex(table.paths.size() - 1);
  }
  for (size_t i = 0; i < table.paths.size(); ++i) {
    if (SameNameIgnoringCase(fs::path(table.paths[i]).filename().string(), name)) {
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
  const std::string text = full.lexically_normal().string();
  ModuleTable& table = Table();
  std::lock_guard lock(table.mutex);
  for (size_t i = 0; i < table.paths.size(); ++i) {
    if (table.paths[i] == text) return HandleOfIndex(i);
  }
  table.paths.push_back(text);
  return HandleOfIndex(table.paths.size() - 1);
}

}  // namespace ksv::platform
