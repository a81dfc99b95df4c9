// WAV files: RIFF "WAVE" with a fmt chunk (a WAVEFORMATEX and its extra
// bytes), an optional fact chunk (the sample count of compressed sound) and
// the data chunk. Reading treats the file as outside input: a data chunk
// that claims more than the file holds ends at the end of the file, and a
// file without fmt or data, or with a zero rate, channel count or block
// alignment, fails with FormatError.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::media::avi {

struct WavFile {
  std::vector<uint8_t> format;  // a whole WAVEFORMATEX (18 bytes or more)
  uint64_t dataOffset = 0;
  uint64_t dataSize = 0;
  uint32_t factSamples = 0;  // 0 when there is no fact chunk
  bool truncated = false;
};

// Throws FormatError.
WavFile ReadWav(ByteSource& source);
bool LooksLikeWav(const uint8_t* bytes, size_t size);

// The bytes in front of `dataSize` bytes of sound in `format` (a
// WAVEFORMATEX): RIFF, fmt (16 bytes for PCM, the whole structure
// otherwise), fact for anything but PCM (with `samples`), and the data
// chunk's header.
std::vector<uint8_t> WavHeader(const std::vector<uint8_t>& format, uint64_t dataSize,
                               uint32_t samples);

}  // namespace ksv::media::avi
