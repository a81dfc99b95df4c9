#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "resampler/block_cutter.h"

namespace ksv::resampler {
namespace {

struct Cut {
  std::vector<uint8_t> bytes;
  std::optional<int64_t> start;
};

// Feeds samples through the cutter as the input pin does.
std::vector<Cut> Feed(BlockCutter& cutter, const std::vector<std::vector<uint8_t>>& samples,
                      const std::vector<int64_t>& starts) {
  std::vector<Cut> cuts;
  for (size_t i = 0; i < samples.size(); ++i) {
    size_t offset = 0;
    while (cutter.Fill(samples[i], &offset, starts[i])) {
      cuts.push_back({{cutter.Block().begin(), cutter.Block().end()}, cutter.BlockStart()});
    }
    EXPECT_EQ(offset, samples[i].size()) << "every byte is taken";
  }
  return cuts;
}

TEST(BlockCutter, CutsAcrossSamplesAndTimesEachBlockFromTheSampleItStartsIn) {
  BlockCutter cutter;
  cutter.Reset(4, 1000);  // 1 byte a millisecond
  std::vector<uint8_t> stream(14);
  std::iota(stream.begin(), stream.end(), uint8_t{1});
  const std::vector<std::vector<uint8_t>> samples = {
      {stream.begin(), stream.begin() + 3},       // 1..3
      {stream.begin() + 3, stream.begin() + 10},  // 4..10
      {stream.begin() + 10, stream.end()},        // 11..14
  };
  const std::vector<Cut> cuts = Feed(cutter, samples, {0, 30000, 100000});
  ASSERT_EQ(cuts.size(), 3u);
  EXPECT_EQ(cuts[0].bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(cuts[0].start, 0) << "its first byte came first in the first sample";
  EXPECT_EQ(cuts[1].bytes, (std::vector<uint8_t>{5, 6, 7, 8}));
  EXPECT_EQ(cuts[1].start, 30000 + 1 * 10000) << "one byte of the second sample before it";
  EXPECT_EQ(cuts[2].bytes, (std::vector<uint8_t>{9, 10, 11, 12}));
  EXPECT_EQ(cuts[2].start, 30000 + 5 * 10000);
  EXPECT_EQ(cutter.Pending(), 2u) << "13 and 14 wait for more";

  ASSERT_TRUE(cutter.PadLast());
  EXPECT_EQ(std::vector<uint8_t>(cutter.Block().begin(), cutter.Block().end()),
            (std::vector<uint8_t>{13, 14, 14, 14}))
      << "the last block is padded with its last byte";
  EXPECT_EQ(cutter.BlockStart(), 100000 + 2 * 10000);
  EXPECT_FALSE(cutter.PadLast()) << "nothing left after the padded block";
}

TEST(BlockCutter, WholeMillisecondsAnUntimedSampleAndAFlush) {
  BlockCutter cutter;
  cutter.Reset(3, 44100 * 2);  // 16-bit mono at 44100 Hz
  std::vector<uint8_t> sample(1001, 7);
  size_t offset = 0;
  int blocks = 0;
  std::optional<int64_t> last;
  while (cutter.Fill(sample, &offset, int64_t{0})) {
    ++blocks;
    last = cutter.BlockStart();
  }
  EXPECT_EQ(blocks, 333);
  EXPECT_EQ(last, 996 * 1000 / 88200 * 10000) << "byte 996 is 11.29 ms in: 11 whole ms";

  cutter.Clear();
  EXPECT_TRUE(cutter.Empty()) << "a flush forgets the two pending bytes";
  std::vector<uint8_t> untimed(3, 1);
  offset = 0;
  ASSERT_TRUE(cutter.Fill(untimed, &offset, std::nullopt));
  EXPECT_FALSE(cutter.BlockStart()) << "no time from an untimed sample";

  cutter.Reset(0, 0);
  EXPECT_EQ(cutter.BlockBytes(), 1u) << "never an empty block to loop on";
}

}  // namespace
}  // namespace ksv::resampler
