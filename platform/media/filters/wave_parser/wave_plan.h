// How the Wave Parser cuts a WAV file's sound into samples: blocks of about
// half a second, each a whole number of the format's blocks (nBlockAlign),
// with times from the format: sample frames for PCM, G.711 and float, the
// samples per block for IMA ADPCM, the average byte rate otherwise. A last
// short piece is delivered as it is for the sample-per-frame formats and
// dropped for block-compressed ones when it is less than one block. The
// packets are worked out as they are asked for, so a file's claims cost no
// memory.
#pragma once

#include "platform/media/avi/wav_file.h"
#include "platform/media/filters/common/pull_output_pin.h"

namespace ksv::media::filters {

class WavePackets final : public PacketList {
 public:
  explicit WavePackets(const avi::WavFile& file);

  size_t Count() const override;
  PullPacket At(size_t index) const override;
  REFERENCE_TIME Duration() const override { return TimeOf(usable_); }
  uint32_t Largest() const override;

 private:
  enum class Clock { kFrames, kAdpcmBlocks, kByteRate };
  REFERENCE_TIME TimeOf(uint64_t bytes) const;

  Clock clock_ = Clock::kByteRate;
  uint64_t rate_ = 1;  // frames per second, or bytes per second
  uint64_t blockAlign_ = 1;
  uint64_t samplesPerBlock_ = 0;
  uint64_t dataOffset_ = 0;
  uint64_t usable_ = 0;  // the bytes delivered
  uint64_t packetBytes_ = 1;
};

}  // namespace ksv::media::filters
