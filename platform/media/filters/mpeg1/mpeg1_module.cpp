// The MPEG-1 plug-in's entry points: the stream splitter and the video and
// audio decoders, each registered in the filter mapper with its record.
#include "platform/media/base/plugin_entry_points.h"
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

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
