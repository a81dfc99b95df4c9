#include "platform/media/testing/plugin_root.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>

#include "platform/com/apartment.h"
#include "platform/com/inproc_servers.h"

namespace ksv::media::testing {
namespace {

// Calls `entry` (DllRegisterServer) of the module; an empty answer is success.
std::string CallEntry(const std::filesystem::path& path, const char* entry) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    return "cannot load " + path.string() + ": " + (why != nullptr ? why : "?");
  }
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  const HRESULT result = function != nullptr ? function() : E_FAIL;
  dlclose(module);
  if (SUCCEEDED(result)) return {};
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  return std::string(entry) + " of " + path.string() + " failed with " + code;
}

}  // namespace

std::filesystem::path PluginRoot::ModuleFolder() { return KSV_TEST_MODULE_DIR; }

std::filesystem::path PluginRoot::ModulePath(const std::string& module) {
  std::filesystem::path shipped = ModuleFolder() / module;
  std::error_code error;
  return std::filesystem::exists(shipped, error) ? shipped
                                                 : std::filesystem::path(KSV_TEST_PLUGIN_DIR) / module;
}

PluginRoot::PluginRoot(const std::vector<std::string>& modules) {
  ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1);
  std::filesystem::create_directories(folder_.path() / "root");
  comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  if (!comInitialised_) {
    error_ = "CoInitializeEx failed";
    return;
  }
  error_ = CallEntry(ModuleFolder() / "ksvmedia.so", "DllRegisterServer");
  for (const std::string& module : modules) {
    if (!error_.empty()) return;
    error_ = CallEntry(ModulePath(module), "DllRegisterServer");
  }
}

PluginRoot::~PluginRoot() {
  if (comInitialised_) {
    CoFreeUnusedLibrariesEx(0, 0);
    CoUninitialize();
  }
  ::unsetenv("KSV_ROOT");
}

}  // namespace ksv::media::testing
