#include "platform/media/filters/wave_parser/wave_plan.h"

#include <algorithm>

#include "platform/media/filters/common/audio_type.h"
#include "support/byte_order.h"

namespace ksv::media::filters {

namespace {

constexpr uint64_t kUnits = 10'000'000;
// A hostile byte rate must not ask for buffers past what a sample holds.
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

// One sample frame per nBlockAlign bytes.
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

}  // namespace

WavePackets::WavePackets(const avi::WavFile& file) : dataOffset_(file.dataOffset) {
  const WAVEFORMATEX wave = ReadWaveFormat(file.format);
  blockAlign_ = std::max<uint64_t>(wave.nBlockAlign, 1);
  const uint64_t frames = std::max<uint64_t>(wave.nSamplesPerSec, 1);
  if (IsFrameFormat(file.format, wave.wFormatTag)) {
    clock_ = Clock::kFrames;
    rate_ = frames;
  } else if (wave.wFormatTag == kWaveFormatImaAdpcm && wave.cbSize >= 2 &&
             file.format.size() >= 20) {
    samplesPerBlock_ = support::LoadLe16(file.format, 18);
    clock_ = samplesPerBlock_ > 0 ? Clock::kAdpcmBlocks : Clock::kByteRate;
    rate_ = frames;
  }
  if (clock_ == Clock::kByteRate) {
    rate_ = wave.nAvgBytesPerSec != 0 ? wave.nAvgBytesPerSec : blockAlign_ * frames;
  }

  const uint64_t halfSecond =
      std::min<uint64_t>(std::max<uint64_t>(wave.nAvgBytesPerSec / 2, 1), kLargestPacket);
  packetBytes_ = std::max<uint64_t>(halfSecond / blockAlign_, 1) * blockAlign_;
  usable_ = file.dataSize;
  if (clock_ != Clock::kFrames) usable_ -= usable_ % blockAlign_;
}

size_t WavePackets::Count() const {
  return static_cast<size_t>((usable_ + packetBytes_ - 1) / packetBytes_);
}

PullPacket WavePackets::At(size_t index) const {
  const uint64_t done = static_cast<uint64_t>(index) * packetBytes_;
  const uint64_t size = std::min(packetBytes_, usable_ - done);
  PullPacket packet;
  packet.offset = dataOffset_ + done;
  packet.size = static_cast<uint32_t>(size);
  packet.start = TimeOf(done);
  packet.stop = TimeOf(done + size);
  packet.syncPoint = true;
  return packet;
}

uint32_t WavePackets::Largest() const {
  return static_cast<uint32_t>(std::min(packetBytes_, usable_));
}

REFERENCE_TIME WavePackets::TimeOf(uint64_t bytes) const {
  switch (clock_) {
    case Clock::kFrames:
      return Scale(bytes, kUnits, blockAlign_ * rate_);
    case Clock::kAdpcmBlocks:
      return Scale((bytes / blockAlign_) * samplesPerBlock_, kUnits, rate_);
    case Clock::kByteRate:
      break;
  }
  return Scale(bytes, kUnits, rate_);
}

}  // namespace ksv::media::filters
