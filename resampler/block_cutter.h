// Cuts a stream of sound bytes, arriving in samples of any length, into
// blocks of one fixed size, and times each block: the start time of the
// sample its first byte came in plus the duration of the bytes of that
// sample before it (whole milliseconds, as 100-ns units). The remainder
// waits in a carry buffer for the next sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ksv::resampler {

class BlockCutter {
 public:
  // Block size in bytes (at least 1) and the stream's bytes per second
  // (0 counts as 1000). Forgets anything pending.
  void Reset(size_t blockBytes, int64_t bytesPerSecond);
  // Forgets the pending bytes (a flush, a stop).
  void Clear() { filled_ = 0; }

  // Bytes waiting for the rest of their block (a whole block handed out
  // by Fill no longer counts).
  size_t Pending() const { return filled_ == block_.size() ? 0 : filled_; }
  bool Empty() const { return Pending() == 0; }
  size_t BlockBytes() const { return block_.size(); }

  // Moves bytes of `sample` from `*offset` on into the carry until it
  // holds a whole block or the sample is used up. True when a block is
  // whole: Block() and BlockStart() give it, and the next Fill starts a new
  // one. `sampleStart` is the sample's start time, if it has one.
  bool Fill(std::span<const uint8_t> sample, size_t* offset,
            std::optional<int64_t> sampleStart);

  // At the end of the stream: a partial block is padded to the full size
  // by repeating its last byte. False when nothing is pending.
  bool PadLast();

  std::span<const uint8_t> Block() const { return block_; }
  std::optional<int64_t> BlockStart() const { return blockStart_; }

 private:
  std::vector<uint8_t> block_;
  size_t filled_ = 0;
  int64_t bytesPerSecond_ = 1000;
  std::optional<int64_t> blockStart_;
};

}  // namespace ksv::resampler
