// Uncompressed PCM as media types: MEDIATYPE_Audio, MEDIASUBTYPE_PCM,
// FORMAT_WaveFormatEx with an 18-byte WAVEFORMATEX (cbSize 0), fixed-size
// samples of one frame.
#pragma once

#include <optional>

#include "platform/audio/audio_source.h"
#include "platform/media/base/media_type.h"

namespace ksv::media::filters {

void PcmMediaType(const platform::audio::PcmFormat& format, CMediaType* type);

// The PCM format of `type` when it is one: the types above, the format
// block at least a WAVEFORMAT (16 bytes) with tag 1, whole-byte samples and
// a block alignment and byte rate that agree with its fields.
std::optional<platform::audio::PcmFormat> PcmFormatOf(const AM_MEDIA_TYPE& type);

}  // namespace ksv::media::filters
