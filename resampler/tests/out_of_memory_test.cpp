// Out of memory inside the plug-ins answers a failure code: no exception
// leaves a module's entry points, the class factory or the converter's
// COM methods (the caller is C, or a module built apart).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "include/trsmplrt.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/base/streams.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/allocation_counter.h"

namespace ksv::resampler {
namespace {

using ksv::com::ComPtr;
using ksv::media::testing::PluginRoot;
using ksv::testing::FailAllocations;

using EntryPoint = HRESULT (*)();

class OutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(root_.ok()) << root_.error(); }

  PluginRoot root_{{"trsmplrt.so", "Dextro.so", "ksvavico.so", "ksvvexel5.so"}};
};

// Registering writes names and keys: every step allocates.
TEST_F(OutOfMemory, ModuleEntryPointsAnswerAFailure) {
  for (const char* name : {"ksvmedia.so", "trsmplrt.so", "Dextro.so", "ksvavico.so",
                           "ksvvexel5.so"}) {
    const std::string path = (PluginRoot::ModuleFolder() / name).string();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const auto reg = reinterpret_cast<EntryPoint>(dlsym(module, "DllRegisterServer"));
    const auto unreg = reinterpret_cast<EntryPoint>(dlsym(module, "DllUnregisterServer"));
    ASSERT_NE(reg, nullptr);
    ASSERT_NE(unreg, nullptr);
    ASSERT_EQ(reg(), S_OK) << name;  // anything made once per process is made now

    FailAllocations(true);
    const HRESULT registered = reg();
    const HRESULT unregistered = unreg();
    FailAllocations(false);
    EXPECT_EQ(registered, E_OUTOFMEMORY) << name;
    EXPECT_TRUE(FAILED(unregistered)) << name;
    EXPECT_EQ(reg(), S_OK) << name << " registers again once memory is back";
    dlclose(module);
  }
}

TEST_F(OutOfMemory, ConverterMethodsAndItsFactoryAnswerAFailure) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_SampleRateConverter, CLSCTX_INPROC_SERVER, nullptr,
                             IID_PPV_ARGS(factory.ReleaseAndGetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> converter;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(converter.ReleaseAndGetAddressOf())),
            S_OK);
  ComPtr<ISampleRateConfig> config;
  ASSERT_EQ(converter.As(&config), S_OK);
  ASSERT_EQ(config->SetMerit(0x00200000), S_OK);

  IBaseFilter* another = nullptr;
  FailAllocations(true);
  const HRESULT created = factory->CreateInstance(nullptr, IID_IBaseFilter,
                                                  reinterpret_cast<void**>(&another));
  const HRESULT merit = config->SetMerit(0x00600000);
  FailAllocations(false);
  EXPECT_EQ(created, E_OUTOFMEMORY);
  EXPECT_EQ(another, nullptr);
  EXPECT_EQ(merit, E_OUTOFMEMORY);
  DWORD kept = 0;
  ASSERT_EQ(config->GetMerit(&kept), S_OK);
  EXPECT_EQ(kept, 0x00200000u);

  // Out of memory, nothing is unloaded, and nothing is thrown.
  FailAllocations(true);
  CoFreeUnusedLibrariesEx(0, 0);
  FailAllocations(false);
}

}  // namespace
}  // namespace ksv::resampler
