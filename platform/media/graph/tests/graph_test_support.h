// A fresh system root with the media module registered in it and a graph
// made by class identifier.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <mutex>
#include <vector>

#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/media.h"
#include "testing/temp_files.h"

namespace ksv::media::graph::testing {

inline HRESULT CallModuleEntry(const char* entry) {
  void* module = dlopen(KSV_MEDIA_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(module);
  return result;
}

class GraphTest : public ::testing::Test {
 protected:
  GraphTest() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(CallModuleEntry("DllRegisterServer"), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.ReleaseAndGetAddressOf())),
              S_OK);
    if (graph_) {
      graph_.As(&control_);
      graph_.As(&events_);
    }
  }
  ~GraphTest() override {
    events_ = nullptr;
    control_ = nullptr;
    graph_ = nullptr;
    CoFreeUnusedLibraries();
    CoUninitialize();
  }

  ::ksv::testing::TempFolder root_;
  com::ComPtr<IGraphBuilder> graph_;
  com::ComPtr<IMediaControl> control_;
  com::ComPtr<IMediaEventEx> events_;
};

}  // namespace ksv::media::graph::testing
