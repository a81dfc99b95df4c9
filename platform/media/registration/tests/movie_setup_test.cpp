// A plug-in's classes registered from its template table: each class's
// keys, and the filter in the filter mapper through the object's
// IAMovieSetup (skipped for an object without one).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/wide_text.h"
#include "platform/media/base/factory.h"
#include "platform/media/base/filter.h"
#include "testing/temp_files.h"

namespace ksv::media::registration::testing {
namespace {

constexpr CLSID kSetUpFilter = com::Guid("7E57F117-0101-4B53-9D10-6B5376544631");
constexpr CLSID kPlainFilter = com::Guid("7E57F117-0102-4B53-9D10-6B5376544631");
constexpr CLSID kNotAFilter = com::Guid("7E57F117-0103-4B53-9D10-6B5376544631");

const AMOVIESETUP_FILTER kSetUp = {&kSetUpFilter, u"Set-up Filter", MERIT_UNLIKELY, 0, nullptr};

// A filter without pins, with or without a registration record.
class TestFilter : public CBaseFilter {
 public:
  TestFilter(REFCLSID clsid, const AMOVIESETUP_FILTER* setup)
      : CBaseFilter("test", nullptr, &lock_, clsid), setup_(setup) {}
  int GetPinCount() override { return 0; }
  CBasePin* GetPin(int) override { return nullptr; }
  const AMOVIESETUP_FILTER* GetSetupData() override { return setup_; }

 private:
  CCritSec lock_;
  const AMOVIESETUP_FILTER* setup_;
};

CUnknown* NewSetUp(LPUNKNOWN, HRESULT*) { return new TestFilter(kSetUpFilter, &kSetUp); }
CUnknown* NewPlain(LPUNKNOWN, HRESULT*) { return new TestFilter(kPlainFilter, nullptr); }

// An object that is no filter at all: it offers no IAMovieSetup.
class Plain : public CUnknown {
 public:
  Plain() : CUnknown("plain", nullptr) {}
};
CUnknown* NewNotAFilter(LPUNKNOWN, HRESULT*) { return new Plain; }

const CFactoryTemplate kTemplates[] = {
    {u"Set-up Filter", &kSetUpFilter, NewSetUp},
    {u"Plain Filter", &kPlainFilter, NewPlain},
    {u"Not a Filter", &kNotAFilter, NewNotAFilter},
};

HRESULT CallEntry(const char* module, const char* entry) {
  void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return CO_E_DLLNOTFOUND;
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(handle);
  return result;
}

class MovieSetup : public ::testing::Test {
 protected:
  MovieSetup() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(CallEntry(KSV_MEDIA_MODULE, "DllRegisterServer"), S_OK);
  }
  ~MovieSetup() override { CoUninitialize(); }

  // The legacy filters the device enumerator lists, by friendly name.
  std::vector<std::string> LegacyFilters() {
    com::ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICreateDevEnum, reinterpret_cast<void**>(devices.GetAddressOf())),
              S_OK);
    std::vector<std::string> names;
    com::ComPtr<IEnumMoniker> found;
    if (devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, found.GetAddressOf(), 0) !=
        S_OK) {
      return names;
    }
    IMoniker* next = nullptr;
    while (found->Next(1, &next, nullptr) == S_OK) {
      com::ComPtr<IMoniker> moniker;
      moniker.Attach(next);
      com::ComPtr<IPropertyBag> bag;
      moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                             reinterpret_cast<void**>(bag.GetAddressOf()));
      VARIANT name;
      VariantInit(&name);
      if (bag && SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
        names.push_back(com::Utf16ToUtf8(com::BstrView(name.bstrVal)));
      }
      VariantClear(&name);
    }
    return names;
  }

  static bool ClassRegistered(REFCLSID clsid) {
    com::InprocServer server;
    return com::FindInprocServer(clsid, &server) == S_OK;
  }

  ::ksv::testing::TempFolder root_;
};

TEST_F(MovieSetup, EveryClassIsRegisteredAndOnlyTheFilterWithSetupDataIsInTheMapper) {
  const void* self = reinterpret_cast<const void*>(&CallEntry);
  ASSERT_EQ(RegisterTemplates(kTemplates, 3, self, true), S_OK);
  EXPECT_TRUE(ClassRegistered(kSetUpFilter));
  EXPECT_TRUE(ClassRegistered(kPlainFilter));
  EXPECT_TRUE(ClassRegistered(kNotAFilter)) << "a class without IAMovieSetup is still a class";
  EXPECT_EQ(LegacyFilters(), std::vector<std::string>{"Set-up Filter"});

  // Registering again replaces the entry rather than adding one.
  ASSERT_EQ(RegisterTemplates(kTemplates, 3, self, true), S_OK);
  EXPECT_EQ(LegacyFilters(), std::vector<std::string>{"Set-up Filter"});

  ASSERT_EQ(RegisterTemplates(kTemplates, 3, self, false), S_OK);
  EXPECT_TRUE(LegacyFilters().empty());
  EXPECT_FALSE(ClassRegistered(kSetUpFilter));
  EXPECT_FALSE(ClassRegistered(kNotAFilter));
}

TEST_F(MovieSetup, AFilterWithoutSetupDataAnswersSFalseAndChangesNothing) {
  TestFilter* filter = new TestFilter(kPlainFilter, nullptr);
  filter->NonDelegatingAddRef();
  IAMovieSetup* setup = nullptr;
  ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)),
            S_OK);
  EXPECT_EQ(setup->Register(), S_FALSE);
  EXPECT_EQ(setup->Unregister(), S_FALSE);
  EXPECT_TRUE(LegacyFilters().empty());
  setup->Release();
  filter->NonDelegatingRelease();
}

}  // namespace
}  // namespace ksv::media::registration::testing
