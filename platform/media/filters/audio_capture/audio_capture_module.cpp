// The audio capture plug-in's entry points: its one class, registered as a
// class only. It is no filter of the filter mapper: each microphone's
// moniker in the audio input category makes one for that device.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/audio_capture/audio_capture_filter.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"Audio Capture Filter", &CLSID_AudioRecord,
     ksv::media::filters::AudioCaptureFilter::CreateInstance, nullptr, nullptr},
};

}  // namespace

KSV_CLASS_PLUGIN_ENTRY_POINTS(kTemplates)
