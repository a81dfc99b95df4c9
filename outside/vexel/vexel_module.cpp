// The Vexel 5 encoder plug-in's entry points: the encoder, registered with
// the filter mapper in the video compressor category.
#include "support/no_throw.h"
#include "include/ksv_export.h"
#include "platform/com/com_method.h"
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
  return ksv::com::ComMethod([] {
    return ksv::media::RegisterFilterSetup(*VexelEncoder::Setup(),
                                           reinterpret_cast<const void*>(&DllRegisterServer),
                                           "Both", &CLSID_VideoCompressorCategory);
  });
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::com::ComMethod([] {
    return ksv::media::UnregisterFilterSetup(*VexelEncoder::Setup(),
                                             &CLSID_VideoCompressorCategory);
  });
}
