// The filter mapper and the system device enumerator over a fresh system
// root: the media module and a two-filter test plug-in registered by path.
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
#include "platform/hardware/device_list.h"
#include "platform/media/filter_ids.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/registration/hardware_entries.h"
#include "platform/media/registration/tests/test_filter_ids.h"
#include "platform/registry/win32_registry.h"
#include "platform/usbcamd/camera_stack.h"
#include "testing/temp_files.h"

namespace ksv::media::registration::testing {
namespace {

HRESULT CallEntry(const char* module, const char* entry) {
  void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return CO_E_DLLNOTFOUND;
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(handle);
  return result;
}

std::string ReadBagText(IMoniker* moniker, const char16_t* name) {
  com::ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    reinterpret_cast<void**>(bag.GetAddressOf())))) {
    return "<no bag>";
  }
  VARIANT value;
  VariantInit(&value);
  if (FAILED(bag->Read(name, &value, nullptr)) || value.vt != VT_BSTR) return "<unreadable>";
  std::string text = com::Utf16ToUtf8(com::BstrView(value.bstrVal));
  VariantClear(&value);
  return text;
}

std::vector<com::ComPtr<IMoniker>> Drain(IEnumMoniker* enumerator) {
  std::vector<com::ComPtr<IMoniker>> monikers;
  if (enumerator == nullptr) return monikers;
  IMoniker* next = nullptr;
  while (enumerator->Next(1, &next, nullptr) == S_OK) {
    com::ComPtr<IMoniker> held;
    held.Attach(next);
    monikers.push_back(held);
  }
  return monikers;
}

std::vector<std::string> Names(const std::vector<com::ComPtr<IMoniker>>& monikers) {
  std::vector<std::string> names;
  for (const auto& moniker : monikers) names.push_back(ReadBagText(moniker.Get(), u"FriendlyName"));
  return names;
}

class Registration : public ::testing::Test {
 protected:
  Registration() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(CallEntry(KSV_MEDIA_MODULE, "DllRegisterServer"), S_OK);
    EXPECT_EQ(CallEntry(KSV_TEST_FILTERS, "DllRegisterServer"), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IFilterMapper2,
                               reinterpret_cast<void**>(mapper_.GetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICreateDevEnum,
                               reinterpret_cast<void**>(devices_.GetAddressOf())),
              S_OK);
  }
  ~Registration() override {
    mapper_ = nullptr;
    devices_ = nullptr;
    CoFreeUnusedLibraries();
    CoUninitialize();
  }

  // The friendly names of the filters matching video input of `subtype`
  // with at least `merit`.
  std::vector<std::string> VideoInputMatches(const GUID& subtype, DWORD merit, bool exact) {
    const GUID types[2] = {MEDIATYPE_Video, subtype};
    com::ComPtr<IEnumMoniker> found;
    EXPECT_EQ(mapper_->EnumMatchingFilters(found.GetAddressOf(), 0, exact, merit, TRUE, 1, types,
                                           nullptr, nullptr, FALSE, FALSE, 0, nullptr, nullptr,
                                           nullptr),
              S_OK);
    return Names(Drain(found.Get()));
  }

  std::vector<com::ComPtr<IMoniker>> Category(REFCLSID category, HRESULT expected = S_OK) {
    com::ComPtr<IEnumMoniker> found;
    EXPECT_EQ(devices_->CreateClassEnumerator(category, found.GetAddressOf(), 0), expected);
    return Drain(found.Get());
  }

  ::ksv::testing::TempFolder root_;
  com::ComPtr<IFilterMapper2> mapper_;
  com::ComPtr<ICreateDevEnum> devices_;
};

TEST_F(Registration, MatchesOrderByMeritAndFilterByMediaType) {
  // Both take RGB24 video; Beta has the higher merit.
  EXPECT_EQ(VideoInputMatches(MEDIASUBTYPE_RGB24, MERIT_DO_NOT_USE, false),
            (std::vector<std::string>{"Beta Test Filter", "alpha Test Filter"}));
  // Only Alpha's null subtype stands for YUY2, and only when inexact.
  EXPECT_EQ(VideoInputMatches(MEDIASUBTYPE_YUY2, 0, false),
            (std::vector<std::string>{"alpha Test Filter"}));
  EXPECT_TRUE(VideoInputMatches(MEDIASUBTYPE_YUY2, 0, true).empty());
  // A merit floor above Alpha's.
  EXPECT_EQ(VideoInputMatches(GUID_NULL, MERIT_NORMAL, false),
            (std::vector<std::string>{"Beta Test Filter"}));

  // Output needed: Beta has no output pin. Render wanted: Alpha renders nothing.
  com::ComPtr<IEnumMoniker> found;
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.GetAddressOf(), 0, FALSE, 0, FALSE, 0, nullptr,
                                         nullptr, nullptr, FALSE, TRUE, 0, nullptr, nullptr,
                                         nullptr),
            S_OK);
  EXPECT_EQ(Names(Drain(found.Get())), (std::vector<std::string>{"alpha Test Filter"}));
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.ReleaseAndGetAddressOf(), 0, FALSE, 0, TRUE, 0,
                                         nullptr, nullptr, nullptr, TRUE, FALSE, 0, nullptr,
                                         nullptr, nullptr),
            S_OK);
  EXPECT_EQ(Names(Drain(found.Get())), (std::vector<std::string>{"Beta Test Filter"}));
  const GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.ReleaseAndGetAddressOf(), 0, FALSE, 0, TRUE, 1,
                                         audio, nullptr, nullptr, FALSE, FALSE, 0, nullptr,
                                         nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(Drain(found.Get()).empty());
}

TEST_F(Registration, ClassKeyMeritOverridesTheFilterData) {
  const std::string classKey = com::ClassKeyPath(kAlphaClsid);
  ASSERT_TRUE(WriteDword(classKey, "Merit", MERIT_PREFERRED));
  EXPECT_EQ(VideoInputMatches(MEDIASUBTYPE_RGB24, 0, false),
            (std::vector<std::string>{"alpha Test Filter", "Beta Test Filter"}));
  ASSERT_TRUE(WriteDword(classKey, "Merit", MERIT_DO_NOT_USE));
  EXPECT_EQ(VideoInputMatches(MEDIASUBTYPE_RGB24, MERIT_DO_NOT_USE + 1, false),
            (std::vector<std::string>{"Beta Test Filter"}));
  EXPECT_EQ(VideoInputMatches(MEDIASUBTYPE_RGB24, MERIT_DO_NOT_USE, false).size(), 2u);
}

TEST_F(Registration, CategoryListsByMeritThenNameAndBindsToTheFilter) {
  // Beta has the higher merit; at equal merits the names decide.
  EXPECT_EQ(Names(Category(CLSID_LegacyAmFilterCategory)),
            (std::vector<std::string>{"Beta Test Filter", "alpha Test Filter"}));
  ASSERT_TRUE(WriteDword(com::ClassKeyPath(kAlphaClsid), "Merit", MERIT_NORMAL));
  const auto monikers = Category(CLSID_LegacyAmFilterCategory);
  ASSERT_EQ(Names(monikers), (std::vector<std::string>{"alpha Test Filter", "Beta Test Filter"}));
  EXPECT_EQ(ReadBagText(monikers[1].Get(), u"CLSID"), com::FormatGuid(kBetaClsid));

  com::ComPtr<IPropertyBag> bag;
  ASSERT_EQ(monikers[1]->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                       reinterpret_cast<void**>(bag.GetAddressOf())),
            S_OK);
  VARIANT data;
  VariantInit(&data);
  ASSERT_EQ(bag->Read(u"FilterData", &data, nullptr), S_OK);
  ASSERT_EQ(data.vt, VT_ARRAY | VT_UI1);
  const auto decoded = DecodeFilterData(static_cast<const uint8_t*>(data.parray->pvData),
                                        data.parray->rgsabound[0].cElements);
  VariantClear(&data);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->merit, MERIT_NORMAL);
  ASSERT_EQ(decoded->pins.size(), 1u);
  EXPECT_TRUE(decoded->pins[0].IsRendered());
  EXPECT_EQ(decoded->pins[0].types[0].subtype, MEDIASUBTYPE_RGB24);

  com::ComPtr<IBaseFilter> filter;
  ASSERT_EQ(monikers[1]->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter.GetAddressOf())),
            S_OK);
  CLSID clsid{};
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, kBetaClsid);
}

TEST_F(Registration, EmptyCategoriesAndBadArguments) {
  com::ComPtr<IEnumMoniker> found;
  EXPECT_EQ(devices_->CreateClassEnumerator(CLSID_AudioRendererCategory, found.GetAddressOf(), 0),
            S_FALSE);
  EXPECT_EQ(found.Get(), nullptr);
  // The camera's capture filter is not known yet: no hardware entries.
  EXPECT_EQ(
      devices_->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, found.GetAddressOf(), 0),
      S_FALSE);
  EXPECT_EQ(devices_->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, nullptr, 0), E_POINTER);
  EXPECT_EQ(mapper_->EnumMatchingFilters(nullptr, 0, FALSE, 0, FALSE, 0, nullptr, nullptr, nullptr,
                                         FALSE, FALSE, 0, nullptr, nullptr, nullptr),
            E_POINTER);
  REGFILTER2 unknownVersion{};
  unknownVersion.dwVersion = 3;
  EXPECT_EQ(mapper_->RegisterFilter(kAlphaClsid, u"x", nullptr, nullptr, nullptr, &unknownVersion),
            E_INVALIDARG);
  EXPECT_EQ(mapper_->RegisterFilter(kAlphaClsid, u"x", nullptr, nullptr, nullptr, nullptr),
            E_POINTER);
}

TEST_F(Registration, RegisterInAnotherCategoryAndUnregister) {
  // A compressor registered in its own category, with a version-2 record.
  const REGPINTYPES video = {&MEDIATYPE_Video, &MEDIASUBTYPE_CVID};
  const REGFILTERPINS2 pins[] = {{REG_PINFLAG_B_OUTPUT, 1, 1, &video, 0, nullptr, nullptr}};
  REGFILTER2 record{};
  record.dwVersion = 2;
  record.dwMerit = MERIT_SW_COMPRESSOR;
  record.cPins2 = 1;
  record.rgPins2 = pins;
  com::ComPtr<IMoniker> moniker;
  ASSERT_EQ(mapper_->RegisterFilter(kAlphaClsid, u"Cinepak-ish", moniker.GetAddressOf(),
                                    &CLSID_VideoCompressorCategory, u"cinepak", &record),
            S_OK);
  ASSERT_NE(moniker.Get(), nullptr);
  EXPECT_EQ(ReadBagText(moniker.Get(), u"FriendlyName"), "Cinepak-ish");
  EXPECT_EQ(Names(Category(CLSID_VideoCompressorCategory)),
            (std::vector<std::string>{"Cinepak-ish"}));
  // Not in a listed category: the mapper does not find it.
  const GUID cvid[2] = {MEDIATYPE_Video, MEDIASUBTYPE_CVID};
  com::ComPtr<IEnumMoniker> found;
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.GetAddressOf(), 0, TRUE, 0, FALSE, 0, nullptr,
                                         nullptr, nullptr, FALSE, TRUE, 1, cvid, nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(Drain(found.Get()).empty());
  // Listed with a merit: found when the floor allows the category.
  ASSERT_EQ(mapper_->CreateCategory(CLSID_VideoCompressorCategory, MERIT_DO_NOT_USE,
                                    u"Video Compressors"),
            S_OK);
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.ReleaseAndGetAddressOf(), 0, TRUE, 0, FALSE, 0,
                                         nullptr, nullptr, nullptr, FALSE, TRUE, 1, cvid, nullptr,
                                         nullptr),
            S_OK);
  EXPECT_EQ(Names(Drain(found.Get())), (std::vector<std::string>{"Cinepak-ish"}));
  ASSERT_EQ(mapper_->EnumMatchingFilters(found.ReleaseAndGetAddressOf(), 0, TRUE,
                                         MERIT_DO_NOT_USE + 1, FALSE, 0, nullptr, nullptr, nullptr,
                                         FALSE, TRUE, 1, cvid, nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(Drain(found.Get()).empty());

  EXPECT_EQ(mapper_->UnregisterFilter(&CLSID_VideoCompressorCategory, u"cinepak", kAlphaClsid),
            S_OK);
  Category(CLSID_VideoCompressorCategory, S_FALSE);
  EXPECT_EQ(mapper_->UnregisterFilter(&CLSID_VideoCompressorCategory, u"cinepak", kAlphaClsid),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  // The plug-in's own unregistration empties the legacy category.
  EXPECT_EQ(CallEntry(KSV_TEST_FILTERS, "DllUnregisterServer"), S_OK);
  Category(CLSID_LegacyAmFilterCategory, S_FALSE);
  com::InprocServer server;
  EXPECT_EQ(com::FindInprocServer(kBetaClsid, &server), REGDB_E_CLASSNOTREG);
}

TEST_F(Registration, DamagedFilterDataIsSkipped) {
  const std::string alpha =
      InstanceKeyPath(CLSID_LegacyAmFilterCategory, com::FormatGuid(kAlphaClsid));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, alpha.c_str(), 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  // A pin count far beyond the bytes, then a value of the wrong type.
  const BYTE damaged[] = {2, 0, 0, 0, 0, 0, 0x60, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
  ASSERT_EQ(RegSetValueExA(key, "FilterData", 0, REG_BINARY, damaged, sizeof(damaged)),
            ERROR_SUCCESS);
  EXPECT_EQ(Names(Category(CLSID_LegacyAmFilterCategory)),
            (std::vector<std::string>{"Beta Test Filter"}));
  EXPECT_EQ(VideoInputMatches(GUID_NULL, 0, false), (std::vector<std::string>{"Beta Test Filter"}));
  const DWORD notBinary = 7;
  ASSERT_EQ(RegSetValueExA(key, "FilterData", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&notBinary), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(Names(Category(CLSID_LegacyAmFilterCategory)),
            (std::vector<std::string>{"Beta Test Filter"}));
  RegCloseKey(key);
}

// A device plugged in by the test offering one function by its name.
class PluggedDevice : public platform::hardware::HardwareDevice {
 public:
  PluggedDevice(std::string name, std::string function)
      : name_(std::move(name)), function_(std::move(function)) {}
  std::string_view Name() const override { return name_; }
  void* Function(std::string_view interfaceName) override {
    return interfaceName == function_ ? this : nullptr;
  }

 private:
  std::string name_;
  std::string function_;
};

TEST_F(Registration, CaptureHardwareIsListedInTheCategoryOfItsFunction) {
  PluggedDevice camera("Test Camera", "usbcamd.UsbDevice");
  PluggedDevice microphone("Test Microphone", "audio.AudioSource");
  PluggedDevice other("Test Gadget", "gadget.Thing");
  platform::hardware::PlugDevice(&camera);
  platform::hardware::PlugDevice(&microphone);
  platform::hardware::PlugDevice(&other);
  const auto video = ListHardwareCaptureDevices(CLSID_VideoInputDeviceCategory);
  const auto audio = ListHardwareCaptureDevices(CLSID_AudioInputDeviceCategory);
  // With its driver installed the camera is called what the driver calls it.
  platform::usbcamd::RegisterCameraDriver({"/nowhere/camera.so", "Driver's Camera"});
  const auto named = ListHardwareCaptureDevices(CLSID_VideoInputDeviceCategory);
  platform::usbcamd::UnregisterCameraDriver();
  // The camera is a video input device through the kernel-streaming proxy,
  // the microphone an audio input device through the audio capture filter.
  const auto devices = Category(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(Names(devices), std::vector<std::string>{"Test Camera"});
  EXPECT_EQ(ReadBagText(devices[0].Get(), u"CLSID"), com::FormatGuid(CLSID_Proxy));
  EXPECT_EQ(ReadBagText(devices[0].Get(), u"DevicePath"), "Test Camera");
  const auto microphones = Category(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(Names(microphones), std::vector<std::string>{"Test Microphone"});
  EXPECT_EQ(ReadBagText(microphones[0].Get(), u"CLSID"), com::FormatGuid(CLSID_AudioRecord));
  EXPECT_TRUE(ListHardwareCaptureDevices(CLSID_VideoCompressorCategory).empty());
  platform::hardware::UnplugDevice(&camera);
  platform::hardware::UnplugDevice(&microphone);
  platform::hardware::UnplugDevice(&other);
  // Unplugged: gone from the categories.
  Category(CLSID_VideoInputDeviceCategory, S_FALSE);
  Category(CLSID_AudioInputDeviceCategory, S_FALSE);
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0].friendlyName, "Test Camera");
  EXPECT_EQ(video[0].interfaceName, "usbcamd.UsbDevice");
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].friendlyName, "Driver's Camera");
  EXPECT_EQ(named[0].devicePath, "Test Camera");
  ASSERT_EQ(audio.size(), 1u);
  EXPECT_EQ(audio[0].friendlyName, "Test Microphone");
  EXPECT_EQ(audio[0].interfaceName, "audio.AudioSource");
}

}  // namespace
}  // namespace ksv::media::registration::testing
