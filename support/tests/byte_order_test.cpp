#include "support/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <stdexcept>
#include <vector>

namespace ksv::support {
namespace {

// The loads are usable in constant expressions, so the layout is checked
// once at compile time as well.
constexpr std::array<uint8_t, 4> kFourBytes{0x78, 0x56, 0x34, 0x12};
static_assert(LoadLe32(kFourBytes, 0) == 0x12345678u);
static_assert(FourCC('I', '4', '2', '0') == 0x30323449u);

TEST(ByteOrder, LoadsReadTheLowByteFirstAtTheOffset) {
  const std::vector<uint8_t> bytes{0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xBB};
  EXPECT_EQ(LoadLe16(bytes, 1), 0x0201u);
  EXPECT_EQ(LoadLe24(bytes, 1), 0x030201u);
  EXPECT_EQ(LoadLe32(bytes, 1), 0x04030201u);
  EXPECT_EQ(LoadLe64(bytes, 1), 0x0807060504030201u);
  EXPECT_EQ(LoadLe16(bytes, 8), 0xBB08u) << "a field ending at the last byte";
}

TEST(ByteOrder, SignedLoadsAreTwosComplement) {
  const std::array<uint8_t, 4> minusTwo{0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(LoadLeInt16(minusTwo, 0), -2);
  EXPECT_EQ(LoadLeInt32(minusTwo, 0), -2);
  const std::array<uint8_t, 4> lowest{0x00, 0x00, 0x00, 0x80};
  EXPECT_EQ(LoadLeInt32(lowest, 0), std::numeric_limits<int32_t>::min());
}

TEST(ByteOrder, StoresWriteExactlyTheFieldsBytes) {
  std::array<uint8_t, 12> bytes{};
  bytes.fill(0xEE);
  StoreLe16(bytes, 0, 0x0102);
  StoreLe24(bytes, 2, 0xFF030405);  // the top byte is not stored
  StoreLe32(bytes, 5, 0x06070809);
  EXPECT_EQ(bytes, (std::array<uint8_t, 12>{0x02, 0x01, 0x05, 0x04, 0x03, 0x09, 0x08, 0x07, 0x06,
                                            0xEE, 0xEE, 0xEE}));
  std::array<uint8_t, 8> wide{};
  StoreLe64(wide, 0, 0x1122334455667788u);
  EXPECT_EQ(wide, (std::array<uint8_t, 8>{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
}

TEST(ByteOrder, StoredValuesLoadBack) {
  std::array<uint8_t, 8> bytes{};
  StoreLe32(bytes, 4, static_cast<uint32_t>(-123456));
  EXPECT_EQ(LoadLeInt32(bytes, 4), -123456);
  StoreLe64(bytes, 0, 0xFEDCBA9876543210u);
  EXPECT_EQ(LoadLe64(bytes, 0), 0xFEDCBA9876543210u);
}

TEST(ByteOrder, AppendsAddTheFieldAtTheEnd) {
  std::vector<uint8_t> bytes{0x55};
  AppendLe16(bytes, 0xABCD);
  AppendLe32(bytes, 0x01020304);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x55, 0xCD, 0xAB, 0x04, 0x03, 0x02, 0x01}));
}

TEST(ByteOrder, FieldsOutsideTheBufferThrowAndTouchNothing) {
  std::array<uint8_t, 6> bytes{1, 2, 3, 4, 5, 6};
  const std::array<uint8_t, 6> before = bytes;
  EXPECT_THROW(LoadLe16(bytes, 5), std::out_of_range) << "one byte short";
  EXPECT_THROW(LoadLe24(bytes, 4), std::out_of_range);
  EXPECT_THROW(LoadLe32(bytes, 3), std::out_of_range);
  EXPECT_THROW(LoadLe64(bytes, 0), std::out_of_range);
  EXPECT_THROW(LoadLeInt32(bytes, 6), std::out_of_range) << "offset at the end";
  EXPECT_THROW(StoreLe32(bytes, 3, 0), std::out_of_range);
  EXPECT_THROW(StoreLe16(bytes, 7, 0), std::out_of_range) << "offset past the end";
  EXPECT_EQ(bytes, before) << "a refused store writes none of the bytes that fit";
  EXPECT_THROW(LoadLe16(std::span<const uint8_t>(), 0), std::out_of_range) << "empty buffer";
}

TEST(ByteOrder, OffsetsNearTheTopOfTheRangeDoNotWrapIntoTheBuffer) {
  const std::array<uint8_t, 8> bytes{};
  // offset + width wraps to a small number: the check must not be fooled.
  EXPECT_THROW(LoadLe32(bytes, std::numeric_limits<size_t>::max() - 1), std::out_of_range);
  EXPECT_THROW(LoadLe16(bytes, std::numeric_limits<size_t>::max()), std::out_of_range);
}

TEST(ByteOrder, TheErrorNamesTheFieldAndTheBuffer) {
  const std::array<uint8_t, 3> bytes{};
  try {
    (void)LoadLe32(bytes, 1);
    FAIL() << "no exception";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "a 4-byte field at offset 1 lies outside a buffer of 3 bytes");
  }
}

}  // namespace
}  // namespace ksv::support
