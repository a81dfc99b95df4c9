// The FFmpeg handles the MPEG filters keep (codecs/av_handles.h) and the
// time base they convert to.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/media/codecs/av_handles.h"

namespace ksv::media::mpeg1 {

using av::CodecContextPtr;
using av::FramePtr;
using av::PacketPtr;
using av::ParserPtr;
using av::ScalePtr;

// 100-ns units, the media framework's time base.
inline constexpr AVRational kReferenceTimeBase = {1, 10'000'000};

}  // namespace ksv::media::mpeg1
