#include "outside/bulk/memory/stored_item.h"

#include <gtest/gtest.h>

#include "outside/bulk/memory/recording_mode.h"

namespace ksv::outside::bulk {
namespace {

RecordingMode ClipMode() { return {7, 32, 16, codec::ScaledAnnexKPair(50)}; }

// A clip item of the given chunks, header filled as the camera fills it.
StoredItem Clip(std::vector<std::pair<size_t, size_t>> chunkSizes, ItemTag tag = ItemTag::kClip,
                uint32_t rate = kAdpcmRate) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(tag);
  header.tableIndex = 7;
  header.subtype = kClipSubtype;
  header.width = 32;
  header.height = 16;
  header.chunkCount = static_cast<uint16_t>(chunkSizes.size());
  header.audioRate = rate;
  std::vector<uint8_t> content;
  for (auto [video, audio] : chunkSizes) {
    AppendChunk(content, std::vector<uint8_t>(video, 0x11), std::vector<uint8_t>(audio, 0x22));
  }
  return MakeItem(header, std::move(content));
}

void ExpectRefused(const StoredItem& item, const std::string& reasonPart) {
  const RecordingMode mode = ClipMode();
  try {
    CheckItem(item, &mode);
    ADD_FAILURE() << "accepted; expected a refusal mentioning '" << reasonPart << "'";
  } catch (const ItemError& error) {
    EXPECT_NE(std::string(error.what()).find(reasonPart), std::string::npos) << error.what();
  }
}

TEST(StoredItemHeader, FieldsLieAtTheirOffsetsLittleEndian) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kClip);
  header.dataSize = 0x01020340;
  header.tableIndex = 9;
  header.subtype = kLowResClipSubtype;
  header.width = 160;
  header.height = 128;
  header.chunkCount = 0x0203;
  header.contentSize = 0x01020304;
  header.audioRate = 12000;
  const auto bytes = EncodeItemHeader(header);
  const std::vector<uint8_t> expected = {'A', 'V', 'I', ' ', 0x40, 0x03, 0x02, 0x01, 0, 0,
                                         9,   4,   160, 0,   128,  0,    0,    0,    3, 2,
                                         4,   3,   2,   1,   0xE0, 0x2E, 0,    0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin()));
  EXPECT_TRUE(std::all_of(bytes.begin() + 28, bytes.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(DecodeItemHeader(bytes), header);
}

TEST(StoredItem, ChunksHoldTheirLengthsAtOffsetsFourAndThirteen) {
  std::vector<uint8_t> chunk;
  AppendChunk(chunk, std::vector<uint8_t>(0x123, 1), std::vector<uint8_t>(0x0102, 2));
  ASSERT_EQ(chunk.size(), 16u + 0x123 + 0x102);
  EXPECT_EQ(chunk[4], 0x23);
  EXPECT_EQ(chunk[5], 0x01);
  EXPECT_EQ(chunk[13], 0x02);
  EXPECT_EQ(chunk[14], 0x01);
  EXPECT_EQ(chunk[16], 1);
  EXPECT_EQ(chunk[16 + 0x123], 2);
  EXPECT_THROW(AppendChunk(chunk, std::vector<uint8_t>(0x10000), {}), ItemError);
}

TEST(StoredItem, ContentIsPaddedToTheSixtyFourByteGrid) {
  const StoredItem item = Clip({{10, 20}, {5, 0}});
  EXPECT_EQ(item.header.contentSize, 16u + 30u + 16u + 5u);
  EXPECT_EQ(item.header.dataSize, 128u);
  EXPECT_EQ(item.data.size(), 128u);
  const std::vector<ClipChunk> chunks = ReadChunks(item);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].video.size(), 10u);
  EXPECT_EQ(chunks[0].audio.size(), 20u);
  EXPECT_EQ(chunks[0].audio[0], 0x22);
  EXPECT_EQ(chunks[1].video.size(), 5u);
  EXPECT_TRUE(chunks[1].audio.empty());
  const RecordingMode mode = ClipMode();
  EXPECT_NO_THROW(CheckItem(item, &mode));
}

TEST(StoredItem, ChunksThatDoNotFillTheContentExactlyAreRefused) {
  StoredItem shortOne = Clip({{10, 20}, {5, 0}});
  shortOne.header.chunkCount = 3;
  ExpectRefused(shortOne, "chunk 2");
  StoredItem longOne = Clip({{10, 20}, {5, 0}});
  longOne.header.chunkCount = 1;
  ExpectRefused(longOne, "follow the last chunk");
  StoredItem overrun = Clip({{10, 20}});
  overrun.data[13] = 0xFF;  // audio length far past the content
  ExpectRefused(overrun, "runs past");
}

TEST(StoredItem, ImpossibleHeadersAreRefusedWithTheirReason) {
  StoredItem unknown = Clip({{4, 4}});
  unknown.header.tag = 0x01020304;
  ExpectRefused(unknown, "unknown tag '\\x04\\x03\\x02\\x01'");
  StoredItem offGrid = Clip({{4, 4}});
  offGrid.data.resize(70);
  offGrid.header.dataSize = 70;
  ExpectRefused(offGrid, "multiple of 64");
  StoredItem overfull = Clip({{4, 4}});
  overfull.header.contentSize = 65;
  ExpectRefused(overfull, "exceeds data size");
  ExpectRefused(Clip({{4, 4}}, ItemTag::kClip, 11025), "11025 Hz");
  ExpectRefused(Clip({{4, 4}}, ItemTag::kVideoClip, 0), "carries sound");
  ExpectRefused(Clip({{0, 4}}), "frame 0 is empty");
  StoredItem wrongSize = Clip({{4, 4}});
  wrongSize.header.width = 320;
  ExpectRefused(wrongSize, "differs from");
  StoredItem noMode = Clip({{4, 4}});
  EXPECT_THROW(CheckItem(noMode, nullptr), ItemError);
}

TEST(StoredItem, BurstsHoldFiveFramesAndPicturesASubtype) {
  StoredItem burst = Clip({{4, 0}, {4, 0}, {4, 0}, {4, 0}}, ItemTag::kBurst, 0);
  ExpectRefused(burst, "bursts hold 5");
  StoredItemHeader picture;
  picture.tag = static_cast<uint32_t>(ItemTag::kPicture);
  picture.tableIndex = 7;
  picture.width = 32;
  picture.height = 16;
  picture.subtype = kClipSubtype;
  ExpectRefused(MakeItem(picture, {1, 2, 3}), "neither 1 nor 2");
  picture.subtype = kLowQualitySubtype;
  ExpectRefused(MakeItem(picture, {}), "empty");
  const RecordingMode mode = ClipMode();
  EXPECT_NO_THROW(CheckItem(MakeItem(picture, {1, 2, 3}), &mode));
}

}  // namespace
}  // namespace ksv::outside::bulk
