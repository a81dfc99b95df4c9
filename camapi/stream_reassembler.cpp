#include "camapi/stream_reassembler.h"

#include <new>
#include <stdexcept>

#include "camapi/item_headers.h"
#include "support/byte_order.h"

namespace ksv::camapi {

void StreamReassembler::Start() {
  buffer_.clear();
  streamSize_ = 0;
  consumed_ = 0;
  itemSize_ = 0;
  received_ = 0;
  started_ = false;
}

FeedResult StreamReassembler::BeginItem(std::span<const uint8_t> header) {
  if (!KnownStreamTag(support::LoadLe32(header, 0))) return FeedResult::kBadStream;
  const uint64_t itemSize = uint64_t{support::LoadLe32(header, 4)} + kStreamBlock;
  // consumed_ is where this item starts in the stream.
  if (itemSize % kStreamBlock != 0 || itemSize > streamSize_ || consumed_ > streamSize_ - itemSize) {
    return FeedResult::kBadStream;
  }
  itemSize_ = itemSize;
  buffer_.clear();
  return FeedResult::kGoOn;
}

FeedResult StreamReassembler::KeepPartialItem(std::span<const uint8_t> delivery, size_t itemStart) {
  const size_t from = itemStart == SIZE_MAX ? 0 : itemStart;
  try {
    if (buffer_.capacity() < itemSize_) buffer_.reserve(static_cast<size_t>(itemSize_));
    buffer_.insert(buffer_.end(), delivery.begin() + static_cast<std::ptrdiff_t>(from),
                   delivery.end());
  } catch (const std::bad_alloc&) {
    return FeedResult::kOutOfMemory;
  } catch (const std::length_error&) {
    return FeedResult::kOutOfMemory;
  }
  return FeedResult::kGoOn;
}

}  // namespace ksv::camapi
