// The wave formats our codecs make and take, as format blocks
// (WAVEFORMATEX followed by its cbSize extra bytes, in memory): 16-bit
// PCM, 8-bit CCITT A-Law and u-Law (G.711), and 4-bit IMA ADPCM in the WAV
// block form, whose 2 extra bytes give the samples a channel per block.
// The format choice dialog lists them and the audio compressors make them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/formats.h"

namespace ksv::platform::acm {

inline constexpr WORD kWaveFormatImaAdpcm = 0x0011;
inline constexpr WORD kWaveFormatALaw = 0x0006;
inline constexpr WORD kWaveFormatMuLaw = 0x0007;

// "PCM", "IMA ADPCM", "CCITT A-Law", "CCITT u-Law"; null for other tags.
const char* FormatTagName(WORD tag);

// The format block of `tag` at `rate` with 1 or 2 channels; empty for an
// unknown tag, another channel count or a rate of 0.
std::vector<uint8_t> MakeFormat(WORD tag, DWORD rate, WORD channels);

// The formats the dialog lists: each tag at 8,000, 11,025, 22,050 and
// 44,100 Hz, mono and stereo, in that order.
std::vector<std::vector<uint8_t>> ListedFormats();

// The largest block MakeFormat makes, in bytes.
size_t MaxFormatSize();

// "8.000 kHz, 4 Bit, Mono", as the dialog shows a format's details.
std::string DescribeFormat(const WAVEFORMATEX& format);

// The block's WAVEFORMATEX (the block must hold at least 18 bytes).
WAVEFORMATEX HeaderOf(const std::vector<uint8_t>& block);

}  // namespace ksv::platform::acm
