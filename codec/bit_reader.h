// Bit reader over the entropy-coded data: most significant bit first, no
// byte stuffing. Reads never touch memory past the end of the given bytes;
// the bits of missing bytes read as zeros, and Position() tells the caller
// whether any of them were consumed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ksv::codec {

class BitReader {
 public:
  // After Refill() at least this many bits are buffered.
  static constexpr int kMinBitsAfterRefill = 56;

  BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) { Refill(); }

  // Tops the window up to at least kMinBitsAfterRefill bits.
  void Refill() {
    if (index_ + 8 <= size_) {
      uint64_t word;
      std::memcpy(&word, data_ + index_, 8);
      window_ |= __builtin_bswap64(word) >> count_;
      index_ += static_cast<size_t>((63 - count_) >> 3);
      count_ |= 56;
    } else {
      RefillNearEnd();
    }
  }

  void RefillIfBelow(int bits) {
    if (count_ < bits) Refill();
  }

  // The next n bits (1..32) as an unsigned number, without consuming them.
  uint32_t Peek(int n) const { return static_cast<uint32_t>(window_ >> (64 - n)); }

  void Skip(int n) {
    window_ <<= n;
    count_ -= n;
  }

  // Skips the count in the low six bits of `field`, whose bits 6 and 7 are
  // clear: the shift takes the field as it is (its count is masked to six
  // bits), so nothing stands between a table lookup and the shift.
  void SkipField(uint32_t field) {
    window_ <<= (field & 63);
    count_ -= static_cast<uint8_t>(field);
  }

  uint32_t Take(int n) {
    uint32_t value = Peek(n);
    Skip(n);
    return value;
  }

  // Number of bits consumed since the start of the data.
  uint64_t Position() const { return uint64_t{index_} * 8 - static_cast<uint64_t>(count_); }

  int buffered() const { return count_; }

 private:
  void RefillNearEnd() {
    while (count_ <= 56) {
      uint64_t byte = index_ < size_ ? data_[index_] : 0;
      window_ |= byte << (56 - count_);
      ++index_;
      count_ += 8;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t index_ = 0;
  uint64_t window_ = 0;  // next bits, left-aligned
  int count_ = 0;        // valid bits in window_
};

}  // namespace ksv::codec
