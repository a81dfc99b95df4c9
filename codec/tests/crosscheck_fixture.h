// The fixture of the decoder's cross-check: both decoder flavours, set up,
// with an output buffer for the largest picture.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "codec/frame_format.h"

namespace ksv::codec::crosscheck {

inline constexpr FrameSize kSizes[] = {{320, 240}, {160, 128}};

inline std::string SizeName(FrameSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

class CrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(driver_.SetUp());
    ASSERT_TRUE(library_.SetUp());
  }

  // Decodes a header-flavour frame whole, planar or 24-bit.
  const uint8_t* DecodeFrame(std::span<const uint8_t> frame, FrameSize size, uint32_t compression) {
    uint32_t written = 0;
    const bool ok = driver_.DecodeFrame(context_, frame, output_, written, size, size, compression).ok();
    EXPECT_TRUE(ok);
    const size_t expected = compression == kCompressionRgb ? Rgb24Bytes(size) : PlanarBytes(size);
    EXPECT_EQ(written, ok ? expected : 0u);
    return ok ? output_.data() : nullptr;
  }

  // Decodes stored entropy data with a 128-byte table (as in a .qtab file).
  const uint8_t* DecodeStored(std::span<const uint8_t> data, uint32_t dataLength,
                              std::span<const uint8_t, 128> qtab, FrameSize size, OutputCode code) {
    if (!library_.Prepare(size, code)) {
      ADD_FAILURE() << "no stored layout " << SizeName(size);
      return nullptr;
    }
    library_.SelectQuantPair(2);
    library_.LoadQuantTable(qtab);
    uint32_t written = 0;
    const bool ok = library_.Decode(data, dataLength, output_, written).ok();
    EXPECT_TRUE(ok);
    EXPECT_EQ(written, ok ? OutputBytes(size, code) : 0u);
    return ok ? output_.data() : nullptr;
  }

  DecoderTables driver_;
  StoredFrameDecoder library_;
  DecoderContext context_{};
  std::vector<uint8_t> output_ = std::vector<uint8_t>(kMaxOutputBytes);
};

}  // namespace ksv::codec::crosscheck
