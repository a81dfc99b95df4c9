// The AVI Compressor plug-in's entry points. Registering lists each codec
// of the table that is a compressor in the video compressor category: an
// instance named by its FOURCC, with the codec's friendly name, the AVI
// Compressor's class and the FOURCC as "FccHandler" for the filter to load.
// The compressors are not in the legacy filter category (nothing inserts
// them while connecting) and carry MERIT_DO_NOT_USE.
#include <string>

#include "support/no_throw.h"
#include "include/ksv_export.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_method.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/registry_moniker.h"
#include "platform/com/wide_text.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/avi_compressor.h"
#include "platform/media/registration_interfaces.h"

namespace {

using ksv::media::filters::AviCompressor;
namespace codecs = ksv::media::codecs;

const CFactoryTemplate kTemplates[] = {
    {u"AVI Compressor", &CLSID_AVICo, AviCompressor::CreateInstance, nullptr, nullptr},
};

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_I420},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV},
};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {{&MEDIATYPE_Video, nullptr}};
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 3, kInputTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kOutputTypes},
};

ksv::com::ComPtr<IFilterMapper2> Mapper(HRESULT* result) {
  ksv::com::ComPtr<IFilterMapper2> mapper;
  *result = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IFilterMapper2,
                             reinterpret_cast<void**>(mapper.ReleaseAndGetAddressOf()));
  return mapper;
}

HRESULT ListCompressor(IFilterMapper2* mapper, const codecs::VideoCodec& codec) {
  const std::u16string instance = ksv::com::Utf8ToUtf16(codecs::FourccText(codec.fourcc));
  const std::u16string name = ksv::com::Utf8ToUtf16(codec.name);
  REGFILTER2 record{};
  record.dwVersion = 1;
  record.dwMerit = MERIT_DO_NOT_USE;
  record.cPins = 2;
  record.rgPins = kPins;
  mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, instance.c_str(), CLSID_AVICo);
  HRESULT result = mapper->RegisterFilter(CLSID_AVICo, name.c_str(), nullptr,
                                          &CLSID_VideoCompressorCategory, instance.c_str(),
                                          &record);
  if (FAILED(result)) return result;
  const std::string path = ksv::com::ClassKeyPath(CLSID_VideoCompressorCategory) +
                           "\\Instance\\" + codecs::FourccText(codec.fourcc);
  ksv::com::ComPtr<IPropertyBag> bag;
  result = ksv::com::CreateRegistryPropertyBag(HKEY_CLASSES_ROOT, path.c_str(),
                                               bag.GetAddressOf());
  if (FAILED(result)) return result;
  VARIANT handler;
  VariantInit(&handler);
  handler.vt = VT_BSTR;
  handler.bstrVal = ksv::com::BstrFromUtf8(codecs::FourccText(codec.fourcc));
  result = bag->Write(u"FccHandler", &handler);
  VariantClear(&handler);
  return result;
}

HRESULT Register(const void* addressInModule) {
  HRESULT result = S_OK;
  auto mapper = Mapper(&result);
  if (FAILED(result)) return result;
  for (const codecs::VideoCodec& codec : codecs::VideoCodecs()) {
    if (!codec.listed || codec.makeEncoder == nullptr) continue;
    result = ListCompressor(mapper.Get(), codec);
    if (FAILED(result)) return result;
  }
  // Last: the mapper names the class after each compressor it lists.
  return ksv::com::RegisterInprocServer(CLSID_AVICo, "AVI Compressor", "Both", addressInModule);
}

HRESULT Unregister() {
  HRESULT result = S_OK;
  auto mapper = Mapper(&result);
  if (SUCCEEDED(result)) {
    for (const codecs::VideoCodec& codec : codecs::VideoCodecs()) {
      if (!codec.listed) continue;
      const std::u16string instance = ksv::com::Utf8ToUtf16(codecs::FourccText(codec.fourcc));
      mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, instance.c_str(), CLSID_AVICo);
    }
  } else if (result != REGDB_E_CLASSNOTREG) {
    return result;
  }
  return ksv::com::UnregisterInprocServer(CLSID_AVICo);
}

}  // namespace

// No exception leaves an entry point: a failed allocation answers
// E_OUTOFMEMORY, and DllCanUnloadNow answers S_FALSE (stay loaded).
extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::com::ComMethod(
      [&] { return ksv::media::GetClassObjectFromTemplates(kTemplates, 1, clsid, iid, object); });
}
extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() {
  return ksv::support::NoThrow(S_FALSE, [] { return ksv::media::CanUnloadNow(); });
}
extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::com::ComMethod(
      [] { return Register(reinterpret_cast<const void*>(&DllRegisterServer)); });
}
extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::com::ComMethod([] { return Unregister(); });
}
