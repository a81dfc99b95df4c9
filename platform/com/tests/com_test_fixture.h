// A fresh system root and a multithreaded apartment per test, and the test
// server's own registration entry points, called as a registration tool
// calls them: load the module by path, call, unload.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/com/apartment.h"
#include "platform/com/inproc_servers.h"
#include "testing/temp_files.h"

namespace ksv::com::testing {

inline HRESULT CallServerEntry(const char* path, const char* entry) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(module);
  return result;
}

// Whether the process has `path` loaded now.
inline bool IsLoaded(const char* path) {
  void* module = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) return false;
  dlclose(module);
  return true;
}

class ComTest : public ::testing::Test {
 protected:
  ComTest() {
    ::setenv("KSV_ROOT", root_.c_str(), 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  }
  ~ComTest() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
  }

  ::ksv::testing::TempFolder temp_;
  std::filesystem::path root_ = temp_.path();
};

}  // namespace ksv::com::testing
