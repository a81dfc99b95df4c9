// The data-length bound. A reference reader written the plain way (a 32-bit
// window refilled two bytes at a time, the fetch count checked before every
// symbol and extra-bit read) decides for each DataLength whether a frame
// decodes; the decoder must decide the same.
#include <gtest/gtest.h>

#include "codec/annex_k.h"
#include "codec/decoder.h"
#include "support/byte_order.h"
#include "test_frames.h"

namespace ksv::codec {
namespace {

using testing::FlatFrame;
using testing::ReadFile;
using testing::TestDataPath;
using testing::WithHeader;

class ReferenceReader {
 public:
  ReferenceReader(const std::vector<uint8_t>& data, uint32_t dataLength)
      : data_(data), bound_(dataLength + 4u) {
    window_ = uint32_t{Byte(0)} << 24 | uint32_t{Byte(1)} << 16 | uint32_t{Byte(2)} << 8 | Byte(3);
    fetched_ = 4;
    count_ = 32;
  }

  bool BoundReached() const { return fetched_ >= bound_; }

  uint32_t Take(int n) {
    uint32_t value = n ? window_ >> (32 - n) : 0;
    window_ = n == 32 ? 0 : window_ << n;
    count_ -= n;
    if (count_ < 16) {
      uint32_t word = uint32_t{Byte(fetched_)} << 8 | Byte(fetched_ + 1);
      window_ |= word << (16 - count_);
      fetched_ += 2;
      count_ += 16;
    }
    return value;
  }

 private:
  uint8_t Byte(uint32_t i) const { return i < data_.size() ? data_[i] : 0; }

  const std::vector<uint8_t>& data_;
  uint32_t bound_;
  uint32_t window_ = 0;
  uint32_t fetched_ = 0;
  int count_ = 0;
};

// Decodes a symbol one bit at a time against the canonical codes.
int ReferenceSymbol(ReferenceReader& r, const HuffmanSpec& spec) {
  auto first = FirstCodes(spec);
  int code = 0, index = 0;
  for (int length = 1; length <= 16; ++length) {
    code = code << 1 | static_cast<int>(r.Take(1));
    int n = spec.counts[static_cast<size_t>(length - 1)];
    if (n && code >= first[static_cast<size_t>(length - 1)] && code < first[static_cast<size_t>(length - 1)] + n)
      return spec.symbols[static_cast<size_t>(index + code - first[static_cast<size_t>(length - 1)])];
    index += n;
  }
  return -1;
}

bool ReferenceDecodes(const std::vector<uint8_t>& entropy, uint32_t dataLength, uint32_t macroblocks) {
  ReferenceReader r(entropy, dataLength);
  for (uint32_t mb = 0; mb < macroblocks; ++mb) {
    for (int b = 0; b < 6; ++b) {
      bool luma = b < 4;
      if (r.BoundReached()) return false;
      int size = ReferenceSymbol(r, luma ? kLuminanceDc : kChrominanceDc);
      if (size < 0) return false;
      if (r.BoundReached()) return false;
      r.Take(size);
      int k = 1;
      while (k < 64) {
        if (r.BoundReached()) return false;
        int symbol = ReferenceSymbol(r, luma ? kLuminanceAc : kChrominanceAc);
        if (symbol < 0) return false;
        if (symbol == 0) break;
        if (r.BoundReached()) return false;
        r.Take(symbol & 15);
        k += (symbol >> 4) + 1;
      }
      if (k > 64) return false;
    }
  }
  return true;
}

bool DecoderDecodes(DecoderTables& decoder, const std::vector<uint8_t>& entropy, uint32_t dataLength,
                    FrameSize size) {
  auto frame = WithHeader(entropy, 1, dataLength);
  std::vector<uint8_t> out(PlanarBytes(size));
  uint32_t written = 0;
  return decoder.DecodeFrame(DecoderContext{}, frame, out, written, size, size, kCompressionI420).ok();
}

void ExpectSameVerdicts(const std::vector<uint8_t>& entropyAndPadding, uint32_t from, uint32_t to, FrameSize size) {
  DecoderTables decoder;
  ASSERT_TRUE(decoder.SetUp());
  uint32_t macroblocks = size.width / 16 * size.height / 16;
  int accepted = 0, refused = 0;
  for (uint32_t dataLength = from; dataLength <= to; ++dataLength) {
    bool expected = ReferenceDecodes(entropyAndPadding, dataLength, macroblocks);
    ASSERT_EQ(DecoderDecodes(decoder, entropyAndPadding, dataLength, size), expected) << "DataLength " << dataLength;
    (expected ? accepted : refused)++;
  }
  // The sweep must cross the threshold to mean anything.
  EXPECT_GT(accepted, 0);
  EXPECT_GT(refused, 0);
}

TEST(DataLengthBound, FlatFrameAgreesWithTheReferenceForEveryLength) {
  auto frame = FlatFrame(80);  // 160 x 128
  std::vector<uint8_t> entropy(frame.begin() + kFrameHeaderSize, frame.end());
  entropy.resize(entropy.size() + 64, 0);
  ExpectSameVerdicts(entropy, 0, static_cast<uint32_t>(entropy.size()), {160, 128});
}

TEST(DataLengthBound, PhotoFrameAgreesWithTheReferenceAroundItsLength) {
  auto frame = ReadFile(TestDataPath("frames/chelsea_160x128_L1.frame"));
  std::vector<uint8_t> entropy(frame.begin() + kFrameHeaderSize, frame.end());
  uint32_t n = static_cast<uint32_t>(entropy.size());
  entropy.resize(entropy.size() + 64, 0);
  ExpectSameVerdicts(entropy, n - 40, n + 8, {160, 128});
}

TEST(DataLengthBound, ExactLengthDecodesAndEveryShorterBufferFails) {
  // The real buffer ends with the entropy data: it decodes. Any shorter
  // buffer would need missing bytes, so it fails, however large DataLength is.
  auto frame = ReadFile(TestDataPath("frames/coffee_160x128_L2.frame"));
  DecoderTables decoder;
  ASSERT_TRUE(decoder.SetUp());
  const uint32_t dataLength = support::LoadLe32(frame, kFrameDataLengthOffset);
  std::vector<uint8_t> exact(frame.begin(), frame.begin() + kFrameHeaderSize + dataLength);
  std::vector<uint8_t> out(PlanarBytes({160, 128}));
  uint32_t written = 0;
  EXPECT_TRUE(decoder.DecodeFrame(DecoderContext{}, exact, out, written, {160, 128}, {160, 128}, kCompressionI420));
  for (size_t cut = 1; cut <= 64; cut += 7) {
    // A fresh vector of the shorter size, so a read past it is caught.
    std::vector<uint8_t> shorter(exact.begin(), exact.end() - static_cast<ptrdiff_t>(cut));
    EXPECT_FALSE(decoder.DecodeFrame(DecoderContext{}, shorter, out, written, {160, 128}, {160, 128}, kCompressionI420))
        << "cut " << cut;
    EXPECT_EQ(written, 0u);
  }
}

}  // namespace
}  // namespace ksv::codec
