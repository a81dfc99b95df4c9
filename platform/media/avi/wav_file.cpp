#include "platform/media/avi/wav_file.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/media/avi/avi_headers.h"
#include "platform/media/avi/riff_chunks.h"
#include "support/byte_order.h"

namespace ksv::media::avi {

namespace {

using support::AppendLe32;
using support::LoadLe16;
using support::LoadLe32;

constexpr uint32_t kWave = Fourcc("WAVE");
constexpr uint32_t kFormatId = Fourcc("fmt ");
constexpr uint32_t kFactId = Fourcc("fact");
constexpr uint32_t kDataId = Fourcc("data");
constexpr size_t kWaveFormatExSize = 18;
constexpr size_t kFormatLimit = 1 << 16;  // cbSize is 16 bits
constexpr uint32_t kSizeToTheEnd = 0xFFFFFFFF;

// A fmt chunk as a whole WAVEFORMATEX: a 16-byte PCM format gains a zero
// cbSize; a longer one keeps the extra bytes its cbSize counts (at most
// those present).
std::vector<uint8_t> WholeFormat(std::vector<uint8_t> bytes) {
  if (bytes.size() < layout::kPcmWaveFormatSize) {
    throw FormatError("a WAV format (fmt) of " + std::to_string(bytes.size()) + " bytes");
  }
  if (bytes.size() < kWaveFormatExSize) {
    bytes.resize(kWaveFormatExSize);
    support::StoreLe16(bytes, 16, 0);
    return bytes;
  }
  const size_t extra = std::min<size_t>(LoadLe16(bytes, 16), bytes.size() - kWaveFormatExSize);
  bytes.resize(kWaveFormatExSize + extra);
  support::StoreLe16(bytes, 16, static_cast<uint16_t>(extra));
  return bytes;
}

}  // namespace

bool LooksLikeWav(const uint8_t* bytes, size_t size) {
  return size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WAVE", 4) == 0;
}

WavFile ReadWav(ByteSource& source) {
  const uint64_t fileSize = source.Size();
  uint8_t start[12];
  if (fileSize < sizeof start || !source.ReadAt(0, start, sizeof start) ||
      !LooksLikeWav(start, sizeof start)) {
    throw FormatError("not a WAV file (no RIFF \"WAVE\" header)");
  }
  WavFile wav;
  bool haveFormat = false, haveData = false;
  // The RIFF size of a file written as a stream is often wrong: the chunks
  // are walked to the end of the file.
  riff::ChunkWalker walker(source, sizeof start, fileSize);
  riff::Chunk chunk;
  while (!(haveData && haveFormat) && walker.Next(chunk)) {
    if (chunk.id == kFormatId && !haveFormat) {
      wav.format = WholeFormat(riff::ReadData(source, chunk, kFormatLimit));
      haveFormat = true;
    } else if (chunk.id == kFactId) {
      const auto bytes = riff::ReadData(source, chunk, 4);
      if (bytes.size() == 4) wav.factSamples = LoadLe32(bytes, 0);
    } else if (chunk.id == kDataId && !haveData) {
      haveData = true;
      wav.dataOffset = chunk.dataOffset;
      uint8_t declared[4];
      const bool toTheEnd = source.ReadAt(chunk.headerOffset + 4, declared, 4) &&
                            LoadLe32(declared, 0) == kSizeToTheEnd;
      wav.dataSize = chunk.size;
      wav.truncated = chunk.cut && !toTheEnd;
    }
  }
  if (!haveFormat) throw FormatError("a WAV file without a format (fmt)");
  if (!haveData) throw FormatError("a WAV file without data");
  if (LoadLe32(wav.format, 4) == 0 || LoadLe16(wav.format, 2) == 0 ||
      LoadLe16(wav.format, 12) == 0) {
    throw FormatError("a WAV format with a zero rate, channel count or block alignment");
  }
  return wav;
}

std::vector<uint8_t> WavHeader(const std::vector<uint8_t>& format, uint64_t dataSize,
                               uint32_t samples) {
  if (format.size() < layout::kPcmWaveFormatSize) {
    throw std::invalid_argument("a WAVEFORMATEX of fewer than 16 bytes");
  }
  const bool pcm = LoadLe16(format, 0) == layout::kWaveFormatPcm;
  std::vector<uint8_t> header;
  AppendLe32(header, riff::kRiff);
  AppendLe32(header, 0);  // set below
  AppendLe32(header, kWave);
  layout::AppendChunk(
      header, kFormatId,
      std::span<const uint8_t>(format.data(), pcm ? layout::kPcmWaveFormatSize : format.size()));
  if (!pcm) {
    uint8_t count[4];
    support::StoreLe32(count, 0, samples);
    layout::AppendChunk(header, kFactId, count);
  }
  AppendLe32(header, kDataId);
  const uint64_t data = std::min<uint64_t>(dataSize, 0xFFFFFFFF);
  AppendLe32(header, static_cast<uint32_t>(data));
  // The RIFF size counts the pad byte that follows odd data.
  const uint64_t riff = header.size() - 8 + data + (data & 1);
  support::StoreLe32(header, 4, static_cast<uint32_t>(std::min<uint64_t>(riff, 0xFFFFFFFF)));
  return header;
}

}  // namespace ksv::media::avi
