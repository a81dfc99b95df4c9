// A fixed-size byte buffer that starts zero-filled. It comes from calloc,
// which hands a large block over as fresh pages the system has already
// cleared: a stream's buffers cost nothing at open beyond what the camera
// later writes into them (a zero-filled vector writes every byte of them
// first). A stream reopened at the same or a smaller size renews its buffers
// in place instead: clearing pages it already has costs less than mapping
// and faulting in new ones. Either way the memory checkers see exactly
// `size()` bytes (the rest of a renewed block is poisoned), so an overrun is
// caught.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sanitizer/asan_interface.h>
#include <span>

namespace ksv::platform::usbcamd {

class ZeroedBuffer {
 public:
  ZeroedBuffer() = default;
  // Throws std::bad_alloc.
  explicit ZeroedBuffer(size_t size)
      : bytes_(static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1))),
        size_(size),
        capacity_(size) {
    if (bytes_ == nullptr) throw std::bad_alloc();
  }

  // Makes this a zero-filled buffer of `size` bytes, in the memory it holds
  // when that is large enough. Throws std::bad_alloc.
  void Renew(size_t size) {
    if (bytes_ == nullptr || size > capacity_) {
      *this = ZeroedBuffer(size);
      return;
    }
    ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), capacity_);
    std::memset(bytes_.get(), 0, size);
    ASAN_POISON_MEMORY_REGION(bytes_.get() + size, capacity_ - size);
    size_ = size;
  }

  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  std::span<const uint8_t> bytes() const { return {bytes_.get(), size_}; }

 private:
  struct Free {
    void operator()(uint8_t* memory) const { std::free(memory); }
  };
  std::unique_ptr<uint8_t[], Free> bytes_;
  size_t size_ = 0;
  size_t capacity_ = 0;  // what the block holds; the bytes past size_ are poisoned
};

}  // namespace ksv::platform::usbcamd
