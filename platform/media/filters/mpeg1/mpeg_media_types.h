// The media types of MPEG-1 elementary streams as the splitter offers them
// and the decoders take them: video MEDIASUBTYPE_MPEG1Payload with an
// MPEG1VIDEOINFO block, audio MEDIASUBTYPE_MPEG1AudioPayload with an
// MPEG1WAVEFORMAT block. Reading a type checks its block's size first.
#pragma once

#include <cstdint>

#include "platform/media/base/media_type.h"
#include "platform/media/filters/mpeg1/mpeg_headers.h"

namespace ksv::media::mpeg1 {

// A video type from the stream's sequence header, GOP time code (0 when
// unknown) and frame time (100-ns units; 0: from the header's rate code).
HRESULT MakeVideoType(const SequenceHeader& header, uint32_t startTimeCode, int64_t frameTime,
                      CMediaType* type);

// An audio type from the stream's first frame header and its
// presentation time stamp (90 kHz units). Every layer has tag
// WAVE_FORMAT_MPEG; fwHeadLayer tells them apart.
HRESULT MakeAudioType(const AudioFrameHeader& header, int64_t firstPts90kHz, CMediaType* type);

// What the video decoder needs of its input type.
struct VideoFormat {
  int width = 0;
  int height = 0;
  int64_t frameTime = 0;  // 100-ns units; 0 when unknown
  uint32_t bitRate = 0;
  const BYTE* sequenceHeader = nullptr;  // in the type's block
  uint32_t sequenceHeaderSize = 0;
};
// Video/MPEG1Payload or MPEG1Packet with FORMAT_MPEGVideo (or a plain
// FORMAT_VideoInfo block) of a sane picture size.
bool ReadVideoFormat(const CMediaType& type, VideoFormat* format);

// What the audio decoder needs of its input type.
struct AudioFormat {
  int channels = 0;
  int sampleRate = 0;
  int layer = 0;  // 1, 2 or 3; 0 when the type does not say
};
// Audio/MPEG1AudioPayload, MPEG1Packet, MPEG1Payload or MPEG1Audio with a
// WAVEFORMATEX block of tag WAVE_FORMAT_MPEG or WAVE_FORMAT_MPEGLAYER3.
bool ReadAudioFormat(const CMediaType& type, AudioFormat* format);

}  // namespace ksv::media::mpeg1
