#include "outside/bulk/memory/per_item_view.h"

#include <gtest/gtest.h>

#include "support/byte_order.h"

namespace ksv::outside::bulk {
namespace {

StoredItem Picture(std::vector<uint8_t> entropy, ItemSubtype subtype) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kPicture);
  header.tableIndex = 3;
  header.subtype = subtype;
  return MakeItem(header, std::move(entropy));
}

StoredItem Clip(const std::vector<size_t>& frameSizes) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kClip);
  header.tableIndex = 2;
  header.subtype = kClipSubtype;
  header.chunkCount = static_cast<uint16_t>(frameSizes.size());
  header.audioRate = kAdpcmRate;
  std::vector<uint8_t> content;
  for (size_t i = 0; i < frameSizes.size(); ++i) {
    AppendChunk(content, std::vector<uint8_t>(frameSizes[i], static_cast<uint8_t>(0xA0 + i)),
                std::vector<uint8_t>(400, 0x55));
  }
  return MakeItem(header, std::move(content));
}

// The per-item header fields, read at the offsets the camera access library
// reads them.
struct Fields {
  uint32_t dataSize;
  uint8_t table;
  uint16_t block;
  uint16_t frames;
  uint16_t distance;
  uint8_t kind;
  uint16_t t1;
  uint16_t t2;
};
Fields Read(const std::vector<uint8_t>& bytes) {
  return {support::LoadLe24(bytes, 3),  bytes[8],  support::LoadLe16(bytes, 9),  support::LoadLe16(bytes, 11),
          support::LoadLe16(bytes, 13), bytes[15], support::LoadLe16(bytes, 16), support::LoadLe16(bytes, 18)};
}

TEST(PerItemView, PictureDataIsStuffedAndEndedReadyForTheJpegHeader) {
  const StoredItem item = Picture({0xFF, 0x12, 0xFF}, kHighQualitySubtype);
  const std::vector<uint8_t> bytes = PerItemBytes(item);
  ASSERT_EQ(bytes.size(), PerItemSize(item));
  const Fields f = Read(bytes);
  EXPECT_EQ(f.kind, 3);
  EXPECT_EQ(f.table, 3);
  EXPECT_EQ(f.block, 64);
  EXPECT_EQ(f.frames, 1);
  EXPECT_EQ(f.dataSize, 7u);
  const size_t start = f.block + f.distance;
  const std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(start + f.dataSize));
  EXPECT_EQ(data, (std::vector<uint8_t>{0xFF, 0x00, 0x12, 0xFF, 0x00, 0xFF, 0xD9}));
  EXPECT_EQ(support::LoadLe16(bytes, f.block), 1);  // one 64-byte unit
  EXPECT_EQ(bytes.size() % 64, 0u);
  EXPECT_EQ(Read(PerItemBytes(Picture({1}, kLowQualitySubtype))).kind, 4);
}

TEST(PerItemView, ClipFramesFollowTheirLengthTableOnTheBlockGrid) {
  const StoredItem item = Clip({100, 64, 1});
  const std::vector<uint8_t> bytes = PerItemBytes(item);
  const Fields f = Read(bytes);
  EXPECT_EQ(f.kind, 1);
  EXPECT_EQ(f.frames, 3);
  EXPECT_EQ(f.distance, 64);
  EXPECT_EQ(f.t1 * f.t2 / f.frames, 100);  // 100 ms a frame
  EXPECT_EQ(f.dataSize, 128u + 64u + 64u);
  const std::vector<uint16_t> units = {support::LoadLe16(bytes, 64), support::LoadLe16(bytes, 66), support::LoadLe16(bytes, 68)};
  EXPECT_EQ(units, (std::vector<uint16_t>{2, 1, 1}));
  // Walking the table as the library does lands on each frame's first byte.
  size_t at = f.block + f.distance;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bytes[at], 0xA0 + i) << "frame " << i;
    at += units[i] * f.block;
  }
  EXPECT_EQ(at, bytes.size());
  EXPECT_EQ(bytes[64 + 64 + 100], 0);  // padding, not the frame's sound
}

TEST(PerItemView, RecordingIsItsBytesRightAfterTheHeader) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kRecording);
  const StoredItem item = MakeItem(header, {1, 2, 3, 4, 5});
  const std::vector<uint8_t> bytes = PerItemBytes(item);
  const Fields f = Read(bytes);
  EXPECT_EQ(f.kind, 5);
  EXPECT_EQ(f.frames, 0);
  EXPECT_EQ(f.distance, 0);
  EXPECT_EQ(f.dataSize, 5u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 64, bytes.begin() + 69),
            (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(bytes.size(), 128u);
}

TEST(PerItemView, ItemsItsFieldsCannotDescribeAreRefused) {
  // 32,737 frames need a table longer than the 16-bit distance can skip.
  EXPECT_NO_THROW(CheckPerItemLimits(Clip(std::vector<size_t>(32736, 1))));
  EXPECT_THROW(CheckPerItemLimits(Clip(std::vector<size_t>(32737, 1))), ItemError);
  // A recording past the 24-bit data size.
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kRecording);
  EXPECT_THROW(CheckPerItemLimits(MakeItem(header, std::vector<uint8_t>(0x1000000))), ItemError);
}

}  // namespace
}  // namespace ksv::outside::bulk
