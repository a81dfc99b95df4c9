#include "resampler/block_cutter.h"

#include <algorithm>
#include <cstring>

namespace ksv::resampler {

void BlockCutter::Reset(size_t blockBytes, int64_t bytesPerSecond) {
  block_.assign(std::max<size_t>(blockBytes, 1), 0);
  bytesPerSecond_ = bytesPerSecond > 0 ? bytesPerSecond : 1000;
  filled_ = 0;
  blockStart_.reset();
}

bool BlockCutter::Fill(std::span<const uint8_t> sample, size_t* offset,
                       std::optional<int64_t> sampleStart) {
  if (filled_ == block_.size()) filled_ = 0;  // the last whole block was taken
  if (*offset >= sample.size()) return false;
  if (filled_ == 0) {
    blockStart_.reset();
    if (sampleStart) {
      // Whole milliseconds first, as the stream's clock counts them.
      const int64_t milliseconds = static_cast<int64_t>(*offset) * 1000 / bytesPerSecond_;
      blockStart_ = *sampleStart + milliseconds * 10000;
    }
  }
  const size_t take = std::min(block_.size() - filled_, sample.size() - *offset);
  std::memcpy(block_.data() + filled_, sample.data() + *offset, take);
  filled_ += take;
  *offset += take;
  return filled_ == block_.size();
}

bool BlockCutter::PadLast() {
  if (filled_ == 0 || filled_ == block_.size()) return false;
  std::fill(block_.begin() + static_cast<ptrdiff_t>(filled_), block_.end(), block_[filled_ - 1]);
  filled_ = block_.size();
  return true;
}

}  // namespace ksv::resampler
