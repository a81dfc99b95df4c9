// The capture pin's formats, made from what the camera's driver offers: each
// of its data ranges (a size, a frame-interval span, the driver's native
// I420) gives two capabilities, planar I420 and 24-bit RGB, because the
// driver decodes into either at open. A format is the driver's own
// intersection format for the range, with the output's subtype, bit count
// and frame interval put in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/media/base/media_type.h"
#include "platform/media/config_interfaces.h"
#include "platform/usbcamd/ks_format.h"

namespace ksv::media::filters {

// What the driver decodes a frame into.
enum class VideoOutput { kI420, kRgb24 };

struct VideoCapability {
  size_t range = 0;  // index into the driver's ranges
  VideoOutput output = VideoOutput::kI420;
};

// The capabilities of the driver's ranges, in the order GetStreamCaps lists
// them: each range's I420, then its RGB24.
std::vector<VideoCapability> CapabilitiesOf(size_t rangeCount);

// The capability record of `capability`'s range (its bit rates those of
// the output's bit count).
VIDEO_STREAM_CONFIG_CAPS ConfigCapsOf(const platform::usbcamd::KS_DATARANGE_VIDEO& range,
                                      VideoOutput output);

// The media type of `output` made from `intersection` (the driver's format
// for the range, at least 152 bytes), with the frame interval `interval`
// (0: the format's own). False when the bytes are too short.
bool VideoMediaType(std::span<const uint8_t> intersection, VideoOutput output,
                    REFERENCE_TIME interval, CMediaType* type);

// What a media type asks the camera for: the capability of the range of
// its size and its frame interval (0 when it gives none). Nothing when no
// range has the size, the subtype is neither I420 nor RGB24, the interval
// lies outside the range's span, or the type is not a video-info type.
struct RequestedVideo {
  VideoCapability capability;
  REFERENCE_TIME interval = 0;
};
std::optional<RequestedVideo> MatchVideoType(
    const AM_MEDIA_TYPE& type, std::span<const platform::usbcamd::KS_DATARANGE_VIDEO* const> ranges);

// The format the driver's stream is opened with for a connected type.
platform::usbcamd::KS_DATAFORMAT_VIDEOINFOHEADER StreamFormatOf(const AM_MEDIA_TYPE& type);

}  // namespace ksv::media::filters
