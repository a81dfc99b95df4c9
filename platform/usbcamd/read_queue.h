// The stream's read buffers: a fixed ring the class driver fills with
// finished frames and the stream's reader (a capture application) takes
// them from, oldest first. Allocated when the stream opens; nothing per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/kernel/kernel_types.h"
#include "platform/usbcamd/zeroed_buffer.h"

namespace ksv::platform::usbcamd {

// A completed read as the reader sees it.
struct DeliveredFrame {
  std::span<const uint8_t> data;          // the bytes the minidriver returned
  kernel::NTSTATUS status = 0;            // the raw-frame routine's result
  std::span<const uint8_t> frameContext;  // the minidriver's per-frame bytes
};

class ReadQueue {
 public:
  struct Slot {
    ZeroedBuffer buffer;
    std::vector<uint8_t> context;
    uint32_t bytesReturned = 0;
    kernel::NTSTATUS status = 0;
    // Set when the frame went straight into the reader's own buffer instead.
    std::span<uint8_t> lent;
  };

  // Replaces every slot: `count` zero-filled buffers of `bufferBytes` with
  // contexts of `contextBytes`, renewing in place the buffers a release kept
  // where they are large enough. Throws std::bad_alloc.
  void Allocate(uint32_t count, uint32_t bufferBytes, uint32_t contextBytes);
  // Empties the ring. The buffers are kept for the next Allocate unless
  // `freeBuffers`.
  void Release(bool freeBuffers);

  // Class driver side. The slot a frame is filled into: the first free one
  // after the completed ones, its context zeroed; null when every slot holds
  // a frame the reader has not taken yet.
  Slot* ClaimFree();
  // Marks the claimed slot as a completed frame, held in `lent` when the
  // frame went into the reader's buffer rather than the slot's.
  void Complete(uint32_t bytesReturned, kernel::NTSTATUS status, std::span<uint8_t> lent = {});

  // Reader side.
  bool HasFrame() const { return completed_ > 0; }
  // Frames waiting for the reader, of Count() buffers.
  size_t WaitingFrames() const { return completed_; }
  size_t Count() const { return slots_.size(); }
  DeliveredFrame Front() const;  // only when HasFrame()
  void PopFront();
  // A waiting frame held in `lent` moves into its slot's own buffer: the
  // reader that lent it leaves without it.
  void Reclaim(const uint8_t* lent);

 private:
  std::vector<Slot> slots_;
  std::vector<Slot> kept_;  // the last stream's slots, for a reopen in its sizes
  size_t head_ = 0;       // oldest completed frame
  size_t completed_ = 0;  // frames waiting for the reader
};

}  // namespace ksv::platform::usbcamd
