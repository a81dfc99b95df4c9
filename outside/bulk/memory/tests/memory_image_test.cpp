#include "outside/bulk/memory/memory_image.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "simcam/memory_builder.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::outside::bulk {

// The simulated camera and its test support make what these tests read.
using namespace simcam;
namespace {

picture::RgbPicture Flat(uint8_t level) {
  return {32, 32, std::vector<uint8_t>(32 * 32 * 3, level)};
}

// A small memory with one item of every tag.
CameraMemory SmallMemory() {
  const RecordingMode mode{5, 32, 32, codec::ScaledAnnexKPair(50)};
  CameraMemory memory{{"fw 1", "sensor 2", "chip 3"}, {mode}, {}};
  const std::vector<picture::RgbPicture> frames(kBurstFrames, Flat(90));
  MonoAudio tone{8000, std::vector<int16_t>(400, 1000)};
  memory.items.push_back(MakePictureItem(Flat(200), mode, kHighQualitySubtype));
  memory.items.push_back(MakeClipItem(frames, mode, kClipSubtype, ClipSound::kAdpcm8000, tone));
  memory.items.push_back(MakeClipItem(frames, mode, kLowResClipSubtype, ClipSound::kNone, {}));
  memory.items.push_back(MakeBurstItem(frames, mode));
  memory.items.push_back(MakeRecordingItem(std::vector<uint8_t>{1, 2, 3}, 5));
  return memory;
}

std::string CorruptReason(const std::vector<uint8_t>& image) {
  try {
    ReadMemoryImage(image);
  } catch (const MemoryImageError& error) {
    EXPECT_EQ(error.reason(), MemoryImageError::Reason::kCorrupt);
    return error.what();
  }
  return "accepted";
}

void ExpectCorrupt(const std::vector<uint8_t>& image, const std::string& reasonPart) {
  const std::string reason = CorruptReason(image);
  EXPECT_NE(reason.find(reasonPart), std::string::npos) << reason;
}

constexpr size_t kFirstItem = kImageHeaderSize + kModeRecordSize;

TEST(MemoryImage, KeepsEverythingOfTheMemory) {
  const CameraMemory memory = SmallMemory();
  const std::vector<uint8_t> image = WriteMemoryImage(memory);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 8), "KSVCAMEM");
  EXPECT_EQ(support::LoadLe32(image, 12), 1u);
  EXPECT_EQ(support::LoadLe32(image, 16), 5u);
  EXPECT_EQ(image.size(), kFirstItem + StreamSize(memory));
  // The item region is the stream itself.
  EXPECT_TRUE(std::equal(image.begin() + kFirstItem, image.end(), StreamBytes(memory).begin()));

  const CameraMemory back = ReadMemoryImage(image);
  EXPECT_EQ(back.versions, memory.versions);
  ASSERT_EQ(back.modes.size(), 1u);
  EXPECT_EQ(back.modes[0].tableIndex, 5);
  EXPECT_EQ(back.modes[0].tables, memory.modes[0].tables);
  ASSERT_EQ(back.items.size(), memory.items.size());
  for (size_t i = 0; i < memory.items.size(); ++i) {
    EXPECT_EQ(back.items[i].header, memory.items[i].header) << i;
    EXPECT_EQ(back.items[i].data, memory.items[i].data) << i;
  }
}

TEST(MemoryImage, EveryTruncationIsAClearFailure) {
  const std::vector<uint8_t> image = WriteMemoryImage(SmallMemory());
  for (size_t cut = 0; cut < image.size(); cut += (cut < 400 ? 1 : 61)) {
    const std::string reason =
        CorruptReason({image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut)});
    ASSERT_NE(reason, "accepted") << "cut at " << cut;
    ASSERT_NE(reason.find("truncated"), std::string::npos) << reason;
  }
}

TEST(MemoryImage, HeaderFaultsAreNamed) {
  const std::vector<uint8_t> good = WriteMemoryImage(SmallMemory());
  std::vector<uint8_t> image = good;
  image[0] = 'X';
  ExpectCorrupt(image, "signature");
  image = good;
  support::StoreLe32(image, 8, 2);
  ExpectCorrupt(image, "format version 2");
  image = good;
  support::StoreLe32(image, 12, 0);
  ExpectCorrupt(image, "0 modes");
  image = good;
  support::StoreLe32(image, 16, 70000);
  ExpectCorrupt(image, "70000 items");
  image = good;
  support::StoreLe32(image, 20, 0xFFFFFFFF);
  ExpectCorrupt(image, "64 MiB");
  image = good;
  image.push_back(0);
  ExpectCorrupt(image, "1 bytes after the last item");
  image = good;
  std::fill(image.begin() + 24, image.begin() + 88, 'a');  // no terminating zero
  ExpectCorrupt(image, "firmware version text has no end");
  image = good;
  image[24] = '\n';
  ExpectCorrupt(image, "not printable");
  image = good;
  image[kImageHeaderSize + 8] = 0;  // a quantisation entry of 0
  ExpectCorrupt(image, "quantisation entry of 0");
}

TEST(MemoryImage, ItemFaultsAreNamedWithTheirItem) {
  const std::vector<uint8_t> good = WriteMemoryImage(SmallMemory());
  std::vector<uint8_t> image = good;
  std::copy_n("JPG ", 4, image.begin() + kFirstItem);
  ExpectCorrupt(image, "item 0 at offset 392: unknown tag 'JPG '");
  image = good;
  support::StoreLe32(image, kFirstItem + 4, 0x7FFFFFC0);  // data far past the end
  ExpectCorrupt(image, "runs past the end");
  image = good;
  support::StoreLe32(image, 20, support::LoadLe32(image, 20) - 64);  // region shorter than its items
  image.resize(image.size() - 64);
  ExpectCorrupt(image, "item 4");
  image = good;
  image[kFirstItem + 10] = 6;  // a table the camera does not have
  ExpectCorrupt(image, "table index 6 is not a mode");
  image = good;
  support::StoreLe16(image, kFirstItem + 12, 64);  // size that is not the mode's
  ExpectCorrupt(image, "item 0 (IMG ): size 64x32 differs");
}

TEST(MemoryImage, RefusesToWriteAMemoryItCouldNotReadBack) {
  CameraMemory memory = SmallMemory();
  memory.items[1].header.audioRate = 44100;
  EXPECT_THROW(WriteMemoryImage(memory), MemoryError);
  memory = SmallMemory();
  memory.versions.chip = std::string(64, 'c');
  EXPECT_THROW(WriteMemoryImage(memory), MemoryError);
  memory = SmallMemory();
  memory.modes.push_back(memory.modes[0]);
  EXPECT_THROW(WriteMemoryImage(memory), MemoryError);
}

TEST(MemoryImage, FilesThatCannotBeReadAreUnreadableNotCorrupt) {
  try {
    LoadMemoryImage("/nonexistent/camera.mem");
    FAIL() << "loaded a missing file";
  } catch (const MemoryImageError& error) {
    EXPECT_EQ(error.reason(), MemoryImageError::Reason::kUnreadable);
    EXPECT_NE(std::string(error.what()).find("/nonexistent/camera.mem"), std::string::npos);
  }
  const ::ksv::testing::TempFolder folder;
  ::ksv::testing::WriteFile(folder / "camera.mem", WriteMemoryImage(SmallMemory()));
  EXPECT_EQ(LoadMemoryImage(folder / "camera.mem").items.size(), 5u);
}

}  // namespace
}  // namespace ksv::outside::bulk
