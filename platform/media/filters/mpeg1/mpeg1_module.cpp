// The MPEG-1 plug-in's entry points: the stream splitter and the video and
// audio decoders, each registered in the filter mapper with its record.
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/audio_decoder.h"
#include "platform/media/filters/mpeg1/mpeg1_setup.h"
#include "platform/media/filters/mpeg1/mpeg_splitter.h"
#include "platform/media/filters/mpeg1/video_decoder.h"

namespace {

using namespace ksv::media::mpeg1;

const CFactoryTemplate kTemplates[] = {
    {kSplitterName, &CLSID_MPEG1Splitter, MpegSplitter::CreateInstance, nullptr, &kSplitterSetup},
    {kVideoDecoderName, &CLSID_CMpegVideoCodec, MpegVideoDecoder::CreateInstance, nullptr,
     &kVideoDecoderSetup},
    {kAudioDecoderName, &CLSID_CMpegAudioCodec, MpegAudioDecoder::CreateInstance, nullptr,
     &kAudioDecoderSetup},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

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
