// The audio capture plug-in's entry points: its one class, registered as a
// class only. It is no filter of the filter mapper: each microphone's
// moniker in the audio input category makes one for that device.
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/audio_capture/audio_capture_filter.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"Audio Capture Filter", &CLSID_AudioRecord,
     ksv::media::filters::AudioCaptureFilter::CreateInstance, nullptr, nullptr},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, kTemplateCount, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterTemplates(kTemplates, kTemplateCount,
                                       reinterpret_cast<const void*>(&DllRegisterServer), true);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::RegisterTemplates(kTemplates, kTemplateCount, nullptr, false);
}
