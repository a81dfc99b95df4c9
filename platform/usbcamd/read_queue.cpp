#include "platform/usbcamd/read_queue.h"

#include <algorithm>
#include <cstring>

namespace ksv::platform::usbcamd {

void ReadQueue::Allocate(uint32_t count, uint32_t bufferBytes, uint32_t contextBytes) {
  Release(false);
  std::vector<Slot> slots = std::move(kept_);
  kept_.clear();
  slots.resize(count);
  for (Slot& slot : slots) {
    slot.buffer.Renew(bufferBytes);  // the rest is reset as the slot is claimed
    slot.context.assign(contextBytes, 0);
  }
  slots_ = std::move(slots);
}

void ReadQueue::Release(bool freeBuffers) {
  if (!slots_.empty()) kept_ = std::move(slots_);
  slots_.clear();
  if (freeBuffers) kept_.clear();
  head_ = 0;
  completed_ = 0;
}

ReadQueue::Slot* ReadQueue::ClaimFree() {
  if (completed_ >= slots_.size()) return nullptr;
  Slot& slot = slots_[(head_ + completed_) % slots_.size()];
  std::fill(slot.context.begin(), slot.context.end(), uint8_t{0});
  slot.bytesReturned = 0;
  slot.status = 0;
  slot.lent = {};
  return &slot;
}

void ReadQueue::Complete(uint32_t bytesReturned, kernel::NTSTATUS status,
                         std::span<uint8_t> lent) {
  Slot& slot = slots_[(head_ + completed_) % slots_.size()];
  slot.bytesReturned = std::min<uint32_t>(bytesReturned, static_cast<uint32_t>(slot.buffer.size()));
  slot.status = status;
  slot.lent = lent;
  ++completed_;
}

DeliveredFrame ReadQueue::Front() const {
  const Slot& slot = slots_[head_];
  const std::span<const uint8_t> bytes = slot.lent.empty() ? slot.buffer.bytes() : slot.lent;
  return {bytes.first(slot.bytesReturned), slot.status, slot.context};
}

void ReadQueue::PopFront() {
  if (completed_ == 0) return;
  head_ = (head_ + 1) % slots_.size();
  --completed_;
}

void ReadQueue::Reclaim(const uint8_t* lent) {
  for (size_t i = 0; i < completed_; ++i) {
    Slot& slot = slots_[(head_ + i) % slots_.size()];
    if (slot.lent.empty() || slot.lent.data() != lent) continue;
    std::memcpy(slot.buffer.data(), slot.lent.data(), slot.bytesReturned);
    slot.lent = {};
  }
}

}  // namespace ksv::platform::usbcamd
