#include "camapi/stream_reassembler.h"

#include <gtest/gtest.h>

#include "camapi/item_headers.h"
#include "support/byte_order.h"

namespace ksv::camapi {
namespace {

// An item: header with `tag` and data of `dataBlocks` 64-byte blocks, each
// byte of the data its item's `fill`.
std::vector<uint8_t> Item(uint32_t tag, size_t dataBlocks, uint8_t fill) {
  std::vector<uint8_t> item(64 + 64 * dataBlocks, fill);
  support::StoreLe32(item, 0, tag);
  support::StoreLe32(item, 4, static_cast<uint32_t>(64 * dataBlocks));
  return item;
}

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> items) {
  std::vector<uint8_t> stream;
  for (const auto& item : items) stream.insert(stream.end(), item.begin(), item.end());
  return stream;
}

struct Collected {
  std::vector<std::vector<uint8_t>> items;
  size_t steps = 0;
};

FeedResult FeedInPieces(StreamReassembler& reassembler, const std::vector<uint8_t>& stream,
                        size_t piece, Collected& out) {
  for (size_t at = 0; at < stream.size(); at += piece) {
    const size_t length = std::min(piece, stream.size() - at);
    const FeedResult result = reassembler.Feed(
        std::span(stream).subspan(at, length), stream.size(), [&](const StreamStep& step) {
          ++out.steps;
          if (step.complete) out.items.emplace_back(step.item.begin(), step.item.end());
          return true;
        });
    if (result != FeedResult::kGoOn) return result;
  }
  return FeedResult::kGoOn;
}

TEST(StreamReassembler, ItemsComeOutWholeHoweverTheStreamIsCut) {
  const auto a = Item(kPictureTag, 3, 0xA1);
  const auto b = Item(kBurstTag, 0, 0xB2);
  const auto c = Item(kClipTag, 40, 0xC3);
  const auto stream = Joined({a, b, c});
  for (size_t piece : {size_t{64}, size_t{128}, size_t{192}, size_t{4096}, stream.size()}) {
    StreamReassembler reassembler;
    reassembler.Start();
    Collected out;
    ASSERT_EQ(FeedInPieces(reassembler, stream, piece, out), FeedResult::kGoOn) << piece;
    ASSERT_EQ(out.items.size(), 3u) << piece;
    EXPECT_EQ(out.items[0], a);
    EXPECT_EQ(out.items[1], b);  // starts at the first block after a
    EXPECT_EQ(out.items[2], c);
    EXPECT_EQ(out.steps, stream.size() / 64);
    EXPECT_FALSE(reassembler.MidItem());
  }
}

TEST(StreamReassembler, ImpossibleStreamsStopWithoutReadingPastThem) {
  StreamReassembler reassembler;
  Collected out;
  auto unknown = Item(kPictureTag, 1, 0);
  unknown[0] = 'X';
  reassembler.Start();
  EXPECT_EQ(FeedInPieces(reassembler, unknown, 64, out), FeedResult::kBadStream);

  // A header claiming more data than the stream holds.
  auto tooLong = Item(kPictureTag, 2, 0);
  tooLong[4] = 0xC0;  // 192 bytes of data, only 128 in the stream
  reassembler.Start();
  EXPECT_EQ(FeedInPieces(reassembler, tooLong, 64, out), FeedResult::kBadStream);
  tooLong[4] = 0;
  tooLong[7] = 0xFF;  // near 4 GiB
  reassembler.Start();
  EXPECT_EQ(FeedInPieces(reassembler, tooLong, 64, out), FeedResult::kBadStream);

  // A data size off the 64-byte grid, and a delivery that is.
  auto offGrid = Item(kPictureTag, 1, 0);
  offGrid[4] = 63;
  reassembler.Start();
  EXPECT_EQ(FeedInPieces(reassembler, offGrid, 64, out), FeedResult::kBadStream);
  reassembler.Start();
  const std::vector<uint8_t> ragged(100, 0);
  EXPECT_EQ(reassembler.Feed(ragged, ragged.size(), [](const StreamStep&) { return true; }),
            FeedResult::kBadStream);
  EXPECT_TRUE(out.items.empty());
}

TEST(StreamReassembler, StartForgetsAPartlyReceivedItem) {
  const auto a = Item(kPictureTag, 4, 0xA1);
  const auto b = Item(kRecordingTag, 1, 0xB2);
  StreamReassembler reassembler;
  reassembler.Start();
  Collected out;
  // Stopped after two blocks of a.
  const auto stream = Joined({a, b});
  size_t steps = 0;
  EXPECT_EQ(reassembler.Feed(std::span(stream).first(256), stream.size(),
                             [&](const StreamStep&) { return ++steps < 2; }),
            FeedResult::kStopped);
  EXPECT_TRUE(reassembler.MidItem());
  reassembler.Start();
  ASSERT_EQ(FeedInPieces(reassembler, stream, 128, out), FeedResult::kGoOn);
  ASSERT_EQ(out.items.size(), 2u);
  EXPECT_EQ(out.items[0], a);
  EXPECT_EQ(out.items[1], b);
}

}  // namespace
}  // namespace ksv::camapi
