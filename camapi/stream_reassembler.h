// Cuts the camera's item stream into whole items. The stream arrives in
// deliveries of whole 64-byte blocks; an item is its 64-byte header (tag at
// 0, data size at 4) and its data. An item that lies inside one delivery is
// handed on where it lies; only an item cut by a delivery's end is copied,
// into a buffer that grows to the largest such item and is then reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ksv::camapi {

inline constexpr size_t kStreamBlock = 64;

// One 64-byte step of the stream.
struct StreamStep {
  uint64_t itemSize = 0;  // the item with its header
  uint64_t received = 0;  // bytes of it received so far
  bool complete = false;
  std::span<const uint8_t> item;  // the whole item, header first, once complete
};

enum class FeedResult {
  kGoOn,
  kStopped,      // the step handler asked to stop
  kBadStream,    // a delivery not of whole blocks, an unknown tag, an item past the stream's end
  kOutOfMemory,  // no room for a partly received item
};

class StreamReassembler {
 public:
  // Forgets everything: the next delivery starts a new stream with an item
  // header. Keeps the buffer's memory for reuse.
  void Start();

  // Walks `delivery` in 64-byte steps, calling `onStep(const StreamStep&)`
  // after each; it answers false to stop. `streamSize` is the whole stream's
  // size as the first delivery gives it; no item may reach past it.
  template <typename OnStep>
  FeedResult Feed(std::span<const uint8_t> delivery, uint64_t streamSize, OnStep&& onStep);

  // True when the stream so far ends inside an item.
  bool MidItem() const { return received_ != 0; }

 private:
  // Checks the item header (the first block of an item) and takes its item as
  // the current one.
  FeedResult BeginItem(std::span<const uint8_t> header);
  // Keeps the part of the current item in this delivery for the next one.
  FeedResult KeepPartialItem(std::span<const uint8_t> delivery, size_t itemStart);

  std::vector<uint8_t> buffer_;  // the current item's bytes of earlier deliveries
  uint64_t streamSize_ = 0;
  uint64_t consumed_ = 0;
  uint64_t itemSize_ = 0;
  uint64_t received_ = 0;
  bool started_ = false;
};

template <typename OnStep>
FeedResult StreamReassembler::Feed(std::span<const uint8_t> delivery, uint64_t streamSize,
                                   OnStep&& onStep) {
  if (delivery.size() % kStreamBlock != 0) return FeedResult::kBadStream;
  if (!started_) {
    streamSize_ = streamSize;
    started_ = true;
  }
  constexpr size_t kNoStart = SIZE_MAX;  // the item began in an earlier delivery
  size_t itemStart = received_ == 0 ? 0 : kNoStart;
  for (size_t at = 0; at < delivery.size(); at += kStreamBlock) {
    if (received_ == 0) {
      const FeedResult begun = BeginItem(delivery.subspan(at, kStreamBlock));
      if (begun != FeedResult::kGoOn) return begun;
      itemStart = at;
    }
    received_ += kStreamBlock;
    consumed_ += kStreamBlock;
    StreamStep step{itemSize_, received_, received_ == itemSize_, {}};
    if (step.complete) {
      if (itemStart != kNoStart) {
        step.item = delivery.subspan(itemStart, static_cast<size_t>(itemSize_));
      } else {
        buffer_.insert(buffer_.end(), delivery.begin(),
                       delivery.begin() + static_cast<std::ptrdiff_t>(at + kStreamBlock));
        step.item = buffer_;
      }
    }
    if (!onStep(static_cast<const StreamStep&>(step))) return FeedResult::kStopped;
    if (step.complete) {
      received_ = 0;
      itemSize_ = 0;
      buffer_.clear();
    }
  }
  return received_ == 0 ? FeedResult::kGoOn : KeepPartialItem(delivery, itemStart);
}

}  // namespace ksv::camapi
