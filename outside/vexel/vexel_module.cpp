// The Vexel 5 encoder plug-in's entry points: the encoder, registered with
// the filter mapper in the video compressor category.
#include "include/ksv_export.h"
#include "outside/vexel/vexel_encoder.h"
#include "platform/media/base/factory.h"
#include "platform/media/registration/filter_setup.h"

namespace {

using ksv::vexel::VexelEncoder;

const CFactoryTemplate kTemplates[] = {
    {u"" VEXEL5_FRIENDLY_NAME, &CLSID_Vexel5Encoder, VexelEncoder::CreateInstance, nullptr,
     VexelEncoder::Setup()},
};

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, 1, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterFilterSetup(*VexelEncoder::Setup(),
                                         reinterpret_cast<const void*>(&DllRegisterServer), "Both",
                                         &CLSID_VideoCompressorCategory);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::UnregisterFilterSetup(*VexelEncoder::Setup(), &CLSID_VideoCompressorCategory);
}
