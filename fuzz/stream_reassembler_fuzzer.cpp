// The camera access library's item stream reassembly on hostile streams:
// the first two bytes choose the delivery size, the rest is the stream. Every
// whole item handed on must be exactly the size its header claims, and the
// stream must never be read past its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "camapi/item_headers.h"
#include "camapi/stream_reassembler.h"
#include "support/byte_order.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ksv::camapi;
  if (size < 2) return 0;
  const size_t piece = (size_t{ksv::support::LoadLe16(std::span(data, 2), 0)}) % 64 * kStreamBlock + kStreamBlock;
  const std::span<const uint8_t> stream(data + 2, (size - 2) / kStreamBlock * kStreamBlock);
  static StreamReassembler reassembler;  // kept between inputs, as a context keeps it
  reassembler.Start();
  for (size_t at = 0; at < stream.size(); at += piece) {
    const auto delivery = stream.subspan(at, std::min(piece, stream.size() - at));
    const FeedResult result = reassembler.Feed(delivery, stream.size(), [](const StreamStep& step) {
      if (step.received > step.itemSize) std::abort();
      if (step.complete) {
        if (step.item.size() != step.itemSize || step.item.size() < kItemHeaderBytes) std::abort();
        if (uint64_t{ksv::support::LoadLe32(step.item, 4)} + kItemHeaderBytes != step.itemSize) std::abort();
        volatile uint8_t last = step.item.back();  // the whole item is readable
        (void)last;
      }
      return true;
    });
    if (result != FeedResult::kGoOn) break;
  }
  return 0;
}
