// What an input connection of the AVI Mux becomes in the file: the stream
// header and format (strh, strf) made from the connection's media type.
// Media types come from upstream filters and are checked before use: a
// format block too short for what it claims is refused.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/avi/avi_file.h"
#include "platform/media/base/media_type.h"

namespace ksv::media::avimux {

// S_OK for video with a VIDEOINFOHEADER whose bitmap header fits its block,
// or audio with a sound WAVEFORMATEX whose extra bytes fit; else
// VFW_E_TYPE_NOT_ACCEPTED.
HRESULT CheckStreamType(const CMediaType& type);

struct StreamSetup {
  avi::StreamHeader header;
  std::vector<uint8_t> format;     // strf, little-endian, as stored
  REFERENCE_TIME frameTime = 0;    // video: the period of one frame
  uint32_t bytesPerSecond = 0;     // audio: nAvgBytesPerSec
  int32_t width = 0, height = 0;   // video: the picture
};

// The stream a type accepted by CheckStreamType makes. A video stream's
// rate comes from AvgTimePerFrame, else from `firstDuration` (the first
// sample's length, 0 when unknown), else 30 frames a second.
StreamSetup DescribeStream(const CMediaType& type, REFERENCE_TIME firstDuration);

}  // namespace ksv::media::avimux
