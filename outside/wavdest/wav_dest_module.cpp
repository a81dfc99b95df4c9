// The WAV Dest plug-in's entry points.
#include "include/ksv_export.h"
#include "outside/wavdest/wav_dest.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"

namespace {

using ksv::media::wavdest::WavDest;

const CFactoryTemplate kTemplates[] = {
    {u"WAV Dest", &CLSID_WavDest, WavDest::CreateInstance, nullptr, WavDest::Setup()},
};
constexpr int kTemplateCount = 1;

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, kTemplateCount, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterTemplateSetups(
      kTemplates, kTemplateCount, reinterpret_cast<const void*>(&DllRegisterServer), true);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::RegisterTemplateSetups(kTemplates, kTemplateCount, nullptr, false);
}
