// Appends a bit stream, most significant bit first, to a byte vector. The
// camera's stream has no markers, so no byte stuffing happens here.
#pragma once

#include <cstdint>
#include <vector>

namespace ksv::simcam {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low `count` bits (0..32) of `bits`.
  void Put(uint32_t bits, unsigned count) {
    if (count == 0) return;
    const uint64_t mask = (uint64_t{1} << count) - 1;
    pending_ = (pending_ << count) | (bits & mask);
    pendingBits_ += count;
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      out_.push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
  }

  // Completes the last byte with 1 bits, as JPEG pads a scan.
  void PadWithOnes() {
    if (pendingBits_ != 0) Put(0xFF, 8 - pendingBits_);
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t pending_ = 0;      // only the low pendingBits_ bits are still to be written
  unsigned pendingBits_ = 0;  // 0..7 between calls
};

}  // namespace ksv::simcam
