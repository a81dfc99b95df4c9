// The media type of a stream of sound described by a WAVEFORMATEX as a file
// stores it (an AVI stream's strf, a WAV file's fmt chunk).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/base/media_type.h"

namespace ksv::media::filters {

inline constexpr WORD kWaveFormatExtensible = 0xFFFE;

// MEDIATYPE_Audio, the format tag's subtype (for WAVE_FORMAT_EXTENSIBLE its
// SubFormat GUID), FORMAT_WaveFormatEx with the stored bytes, fixed-size
// samples of nBlockAlign bytes. A 16-byte PCM WAVEFORMAT gets a zero cbSize;
// a cbSize that claims more bytes than are stored is cut to what is there.
// False when `format` is shorter than a WAVEFORMAT (16 bytes).
bool AudioMediaType(const std::vector<uint8_t>& format, CMediaType* type);

// The fields of a stored WAVEFORMATEX, read little-endian; zeros where the
// bytes are too few.
WAVEFORMATEX ReadWaveFormat(const std::vector<uint8_t>& format);

}  // namespace ksv::media::filters
