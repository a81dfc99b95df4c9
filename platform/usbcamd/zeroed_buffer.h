// A fixed-size byte buffer that starts zero-filled. It comes from calloc,
// which hands a large block over as fresh pages the system has already
// cleared: a stream's buffers cost nothing at open beyond what the camera
// later writes into them (a zero-filled vector writes every byte of them
// first). Made at exactly its size, so the memory checkers catch an overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>

namespace ksv::platform::usbcamd {

class ZeroedBuffer {
 public:
  ZeroedBuffer() = default;
  // Throws std::bad_alloc.
  explicit ZeroedBuffer(size_t size)
      : bytes_(static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1))), size_(size) {
    if (bytes_ == nullptr) throw std::bad_alloc();
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
};

}  // namespace ksv::platform::usbcamd
