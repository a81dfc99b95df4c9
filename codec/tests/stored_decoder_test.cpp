// The camera access library's decoder for stored frames.
#include <gtest/gtest.h>

#include "codec/decoder.h"
#include "test_frames.h"

namespace ksv::codec {
namespace {

using testing::FlatFrame;
using testing::ReadFile;
using testing::TestDataPath;

std::vector<uint8_t> Entropy(const std::vector<uint8_t>& headerFrame) {
  return {headerFrame.begin() + kFrameHeaderSize, headerFrame.end()};
}

class StoredDecoder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(decoder.SetUp()); }

  bool Decode(const std::vector<uint8_t>& data, FrameSize size, OutputCode code, std::vector<uint8_t>& out) {
    if (!decoder.Prepare(size, code)) return false;
    out.assign(OutputBytes(size, code), 0);
    uint32_t written = 0;
    const bool ok = decoder.Decode(data, out, written).ok();
    EXPECT_EQ(written, ok ? out.size() : 0u);
    return ok;
  }

  StoredFrameDecoder decoder;
};

TEST_F(StoredDecoder, LayoutsOfTheLibrary) {
  EXPECT_TRUE(decoder.Prepare({160, 112}, OutputCode::kPlanar420));
  EXPECT_FALSE(decoder.Prepare({160, 128}, OutputCode::kPlanar420));
  EXPECT_TRUE(decoder.Prepare({160, 128}, OutputCode::kBgr24));
  EXPECT_TRUE(decoder.Prepare({160, 120}, OutputCode::kBgr24));
  EXPECT_TRUE(decoder.Prepare({160, 1}, OutputCode::kBgr24));
  EXPECT_FALSE(decoder.Prepare({160, 0}, OutputCode::kBgr24));
  EXPECT_FALSE(decoder.Prepare({160, 481}, OutputCode::kBgr24));
  EXPECT_TRUE(decoder.Prepare({320, 240}, OutputCode::kPlanar420));
  EXPECT_TRUE(decoder.Prepare({1024, 768}, OutputCode::kRgb24));
  EXPECT_FALSE(decoder.Prepare({1024, 768}, OutputCode::kPlanar420));
  EXPECT_FALSE(decoder.Prepare({320, 200}, OutputCode::kBgr24));
  // After a refused size nothing decodes, and the decode says why.
  std::vector<uint8_t> out(1 << 20);
  uint32_t written = 1;
  EXPECT_EQ(testing::FailureOf(decoder.Decode(Entropy(FlatFrame(300)), out, written)),
            DecodeError::kSizeNotSupported);
  EXPECT_EQ(written, 0u);
}

TEST_F(StoredDecoder, RefusalsNameTheirCause) {
  const auto data = Entropy(FlatFrame(300));
  std::vector<uint8_t> out(Rgb24Bytes({320, 240}));
  uint32_t written = 0;
  StoredFrameDecoder unprepared;
  ASSERT_TRUE(unprepared.SetUp());
  EXPECT_EQ(testing::FailureOf(unprepared.Decode(data, out, written)), DecodeError::kNotSetUp);
  StoredFrameDecoder notSetUp;
  EXPECT_FALSE(notSetUp.Prepare({320, 240}, OutputCode::kBgr24));
  EXPECT_EQ(testing::FailureOf(notSetUp.Decode(data, out, written)), DecodeError::kNotSetUp);

  ASSERT_TRUE(decoder.Prepare({320, 240}, OutputCode::kBgr24));
  std::vector<uint8_t> small(out.size() - 1);
  EXPECT_EQ(testing::FailureOf(decoder.Decode(data, small, written)), DecodeError::kOutputTooSmall);
  const std::vector<uint8_t> half(data.begin(), data.begin() + static_cast<ptrdiff_t>(data.size() / 2));
  EXPECT_EQ(testing::FailureOf(decoder.Decode(half, out, written)), DecodeError::kDataEndsEarly);
  std::vector<uint8_t> corrupt = data;
  std::fill(corrupt.begin(), corrupt.begin() + 8, uint8_t{0xFF});  // no DC code is all ones
  EXPECT_EQ(testing::FailureOf(decoder.Decode(corrupt, out, written)), DecodeError::kCorruptEntropyData);
  EXPECT_TRUE(decoder.Decode(data, out, written)) << "the decoder is still usable";
}

TEST_F(StoredDecoder, FlatDataIsMidGrey) {
  std::vector<uint8_t> out;
  ASSERT_TRUE(Decode(Entropy(FlatFrame(300)), {320, 240}, OutputCode::kBgr24, out));
  for (uint8_t v : out) ASSERT_EQ(v, 128);
}

TEST_F(StoredDecoder, CallersHeightKeepsTheTopRows) {
  auto data = Entropy(ReadFile(TestDataPath("frames/chelsea_160x128_L3.frame")));
  std::vector<uint8_t> full, top;
  ASSERT_TRUE(Decode(data, {160, 128}, OutputCode::kBgr24, full));
  ASSERT_TRUE(Decode(data, {160, 120}, OutputCode::kBgr24, top));
  // Rows are bottom-up: the 120-row picture is the last 120 rows in memory of
  // the 128-row one.
  ASSERT_TRUE(std::equal(top.begin(), top.end(), full.begin() + 8 * 160 * 3));
}

TEST_F(StoredDecoder, LoadedTablesReplaceTheBuiltInPair) {
  auto frame = ReadFile(TestDataPath("frames/coffee_320x240_Q50.frame"));
  auto qtab = ReadFile(TestDataPath("frames/coffee_320x240_Q50.qtab"));
  ASSERT_EQ(qtab.size(), 128u);
  std::span<const uint8_t> data(frame.data(), frame.size() - 8);
  std::vector<uint8_t> builtIn, loaded;
  decoder.SelectQuantPair(2);
  ASSERT_TRUE(Decode({data.begin(), data.end()}, {320, 240}, OutputCode::kPlanar420, builtIn));
  decoder.LoadQuantTable(std::span<const uint8_t, 128>(qtab.data(), 128));
  ASSERT_TRUE(Decode({data.begin(), data.end()}, {320, 240}, OutputCode::kPlanar420, loaded));
  EXPECT_NE(builtIn, loaded);
}

TEST_F(StoredDecoder, DataLengthBoundAppliesToStoredFrames) {
  auto data = Entropy(FlatFrame(300));
  std::vector<uint8_t> out(Rgb24Bytes({320, 240}));
  ASSERT_TRUE(decoder.Prepare({320, 240}, OutputCode::kBgr24));
  uint32_t written = 0;
  EXPECT_TRUE(decoder.Decode(data, static_cast<uint32_t>(data.size()), out, written));
  EXPECT_EQ(testing::FailureOf(decoder.Decode(data, 2, out, written)), DecodeError::kDataEndsEarly);
}

TEST(FrameDecoder, DecodesEachKindOfFrameAsItsDecoderDoes) {
  const auto frame = ReadFile(TestDataPath("frames/chelsea_160x128_L3.frame"));
  const FrameSize size{160, 128};
  DecoderTables live;
  ASSERT_TRUE(live.SetUp());
  DecoderContext gamma;
  ASSERT_TRUE(SetGammaLevel(gamma, 4));
  std::vector<uint8_t> expected(Rgb24Bytes(size)), got;
  uint32_t written = 0;
  ASSERT_TRUE(live.DecodeFrame(gamma, frame, expected, written, size, size, kCompressionRgb));
  FrameDecoder decoder;
  ASSERT_TRUE(decoder.SetUp({size, OutputCode::kBgr24, 4, std::nullopt}));
  ASSERT_TRUE(decoder.Decode(frame, got));
  EXPECT_EQ(got, expected);

  // Stored: the entropy data alone with the frame's own table.
  StoredFrameDecoder stored;
  ASSERT_TRUE(stored.SetUp());
  ASSERT_TRUE(stored.Prepare(size, OutputCode::kBgr24));
  std::array<uint8_t, 128> table;
  table.fill(8);
  stored.SelectQuantPair(2);
  stored.LoadQuantTable(table);
  const std::vector<uint8_t> entropy(frame.begin() + kFrameHeaderSize, frame.end());
  ASSERT_TRUE(stored.Decode(entropy, expected, written));
  FrameDecoder storedDecoder;
  ASSERT_TRUE(storedDecoder.SetUp({size, OutputCode::kBgr24, 0, table}));
  ASSERT_TRUE(storedDecoder.Decode(entropy, got));
  EXPECT_EQ(got, expected);

  FrameDecoder refused;
  EXPECT_FALSE(refused.SetUp({size, OutputCode::kBgr24, 10, std::nullopt})) << "gamma 10";
  EXPECT_FALSE(refused.SetUp({{300, 200}, OutputCode::kBgr24, 0, table})) << "no stored layout";
}

}  // namespace
}  // namespace ksv::codec
