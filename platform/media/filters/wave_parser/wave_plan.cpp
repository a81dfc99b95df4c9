#include "platform/media/filters/wave_parser/wave_plan.h"

#include <algorithm>

#include "platform/media/filters/common/audio_type.h"

namespace ksv::media::filters {

namespace {

constexpr uint64_t kUnits = 10'000'000;
constexpr uint64_t kLargestPacket = uint64_t{1} << 24;
constexpr WORD kWaveFormatIeeeFloat = 3;
constexpr WORD kWaveFormatAlaw = 6;
constexpr WORD kWaveFormatMulaw = 7;
constexpr WORD kWaveFormatImaAdpcm = 0x11;

// value * multiplier / divisor, saturated: hostile rates must not wrap.
REFERENCE_TIME Scale(uint64_t value, uint64_t multiplier, uint64_t divisor) {
  uint64_t product = 0;
  if (__builtin_mul_overflow(value, multiplier, &product)) return INT64_MAX;
  return static_cast<REFERENCE_TIME>(std::min<uint64_t>(product / divisor, INT64_MAX));
}

// How bytes of the stream turn into time.
struct Clock {
  enum class Kind { kFrames, kAdpcmBlocks, kByteRate } kind = Kind::kByteRate;
  uint64_t rate = 1;        // frames per second, or bytes per second
  uint64_t blockAlign = 1;
  uint64_t samplesPerBlock = 0;

  REFERENCE_TIME TimeOf(uint64_t bytes) const {
    switch (kind) {
      case Kind::kFrames:
        return Scale(bytes, kUnits, blockAlign * rate);
      case Kind::kAdpcmBlocks:
        return Scale((bytes / blockAlign) * samplesPerBlock, kUnits, rate);
      case Kind::kByteRate:
        break;
    }
    return Scale(bytes, kUnits, rate);
  }
  bool FrameBased() const { return kind == Kind::kFrames; }
};

bool IsFrameFormat(const std::vector<uint8_t>& format, WORD tag) {
  if (tag == WAVE_FORMAT_PCM || tag == kWaveFormatIeeeFloat || tag == kWaveFormatAlaw ||
      tag == kWaveFormatMulaw) {
    return true;
  }
  if (tag != kWaveFormatExtensible) return false;
  CMediaType type;
  if (!AudioMediaType(format, &type)) return false;
  return *type.Subtype() == MEDIASUBTYPE_PCM || *type.Subtype() == MEDIASUBTYPE_IEEE_FLOAT;
}

Clock ClockOf(const std::vector<uint8_t>& format) {
  const WAVEFORMATEX wave = ReadWaveFormat(format);
  Clock clock;
  clock.blockAlign = std::max<uint64_t>(wave.nBlockAlign, 1);
  const uint64_t frames = std::max<uint64_t>(wave.nSamplesPerSec, 1);
  if (IsFrameFormat(format, wave.wFormatTag)) {
    clock.kind = Clock::Kind::kFrames;
    clock.rate = frames;
    return clock;
  }
  if (wave.wFormatTag == kWaveFormatImaAdpcm && wave.cbSize >= 2 && format.size() >= 20) {
    clock.samplesPerBlock = uint16_t(format[18] | format[19] << 8);
    if (clock.samplesPerBlock > 0) {
      clock.kind = Clock::Kind::kAdpcmBlocks;
      clock.rate = frames;
      return clock;
    }
  }
  clock.kind = Clock::Kind::kByteRate;
  clock.rate = wave.nAvgBytesPerSec != 0 ? wave.nAvgBytesPerSec : clock.blockAlign * frames;
  return clock;
}

}  // namespace

PullPlan WavePlan(const avi::WavFile& file) {
  PullPlan plan;
  const WAVEFORMATEX wave = ReadWaveFormat(file.format);
  const Clock clock = ClockOf(file.format);
  const uint64_t blockAlign = clock.blockAlign;
  const uint64_t halfSecond = std::max<uint64_t>(wave.nAvgBytesPerSec / 2, 1);
  // A hostile byte rate must not ask for buffers past what a sample holds.
  const uint64_t wanted = std::min<uint64_t>(halfSecond, kLargestPacket);
  const uint64_t packetBytes = std::max<uint64_t>(wanted / blockAlign, 1) * blockAlign;

  uint64_t usable = file.dataSize;
  if (!clock.FrameBased()) usable -= usable % blockAlign;
  plan.packets.reserve(static_cast<size_t>(usable / packetBytes + 1));
  for (uint64_t done = 0; done < usable;) {
    const uint64_t size = std::min(packetBytes, usable - done);
    PullPacket packet;
    packet.offset = file.dataOffset + done;
    packet.size = static_cast<uint32_t>(size);
    packet.start = clock.TimeOf(done);
    packet.stop = clock.TimeOf(done + size);
    packet.syncPoint = true;
    plan.packets.push_back(packet);
    done += size;
  }
  plan.duration = clock.TimeOf(usable);
  return plan;
}

}  // namespace ksv::media::filters
