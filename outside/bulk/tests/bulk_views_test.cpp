// The per-item view (BULK_GetNthDSC) and the stream view (BULK_GetAllImgs)
// of one memory hold the same items, and the pictures rebuilt from either
// as the camera access library rebuilds them are the photographs taken.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "codec/decoder.h"
#include "common/packed_bitmap.h"
#include "include/oksv1jpg.h"
#include "outside/bulk/tests/bulk_test_support.h"
#include "platform/memory/global_memory.h"
#include "outside/bulk/memory/memory_image.h"
#include "support/byte_order.h"

namespace ksv::outside::bulk {
namespace {


struct PerItem {
  std::vector<uint8_t> bytes;
  uint32_t dataSize = 0;
  uint8_t table = 0;
  size_t block = 0;
  size_t frames = 0;
  size_t dataStart = 0;
  uint8_t kind = 0;
  size_t frameMs = 0;

  std::vector<uint8_t> Data() const {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(dataStart),
            bytes.begin() + static_cast<std::ptrdiff_t>(dataStart + dataSize)};
  }
  size_t FrameUnits(size_t frame) const { return support::LoadLe16(bytes, block + 2 * frame); }
};

PerItem FetchItem(BULK_HANDLE camera, int index) {
  PerItem item;
  const int size = BULK_GetNthSize(camera, index);
  EXPECT_GT(size, 64);
  item.bytes.resize(static_cast<size_t>(size));
  EXPECT_EQ(BULK_GetNthDSC(camera, index, size, item.bytes.data()), 1);
  item.dataSize = support::LoadLe24(item.bytes, 3);
  item.table = item.bytes[8];
  item.block = support::LoadLe16(item.bytes, 9);
  item.frames = support::LoadLe16(item.bytes, 11);
  item.dataStart = item.block + support::LoadLe16(item.bytes, 13);
  item.kind = item.bytes[15];
  if (item.frames != 0)
    item.frameMs = support::LoadLe16(item.bytes, 16) * support::LoadLe16(item.bytes, 18) / item.frames;
  EXPECT_LE(item.dataStart + item.dataSize, item.bytes.size());
  return item;
}

std::vector<testing::StreamItem> StreamAll(BULK_HANDLE camera) {
  testing::StreamCapture capture;
  EXPECT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&capture), testing::CaptureDelivery),
            BULK_STREAM_DONE);
  return testing::SplitStream(capture.bytes);
}

uint8_t KindOfStreamItem(const outside::bulk::StoredItemHeader& header) {
  switch (static_cast<outside::bulk::ItemTag>(header.tag)) {
    case outside::bulk::ItemTag::kPicture:
      return header.subtype == 1 ? 3 : 4;
    case outside::bulk::ItemTag::kClip:
    case outside::bulk::ItemTag::kVideoClip:
      return 1;
    case outside::bulk::ItemTag::kBurst:
      return 2;
    case outside::bulk::ItemTag::kRecording:
      return 5;
  }
  return 0;
}

std::vector<uint8_t> Stuffed(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (uint8_t b : data) {
    out.push_back(b);
    if (b == 0xFF) out.push_back(0);
  }
  return out;
}

// The video of each chunk of a stream clip or burst.
std::vector<std::vector<uint8_t>> ChunkVideos(const testing::StreamItem& item) {
  std::vector<std::vector<uint8_t>> videos;
  size_t at = 0;
  for (size_t i = 0; i < item.header.chunkCount; ++i) {
    const size_t video = support::LoadLe16(item.data, at + 4);
    const size_t audio = support::LoadLe16(item.data, at + 13);
    videos.emplace_back(item.data.begin() + static_cast<std::ptrdiff_t>(at + 16),
                        item.data.begin() + static_cast<std::ptrdiff_t>(at + 16 + video));
    at += 16 + video + audio;
  }
  EXPECT_LE(at, item.data.size());
  return videos;
}

void ExpectSameFrames(const PerItem& perItem, const testing::StreamItem& streamed) {
  const std::vector<std::vector<uint8_t>> videos = ChunkVideos(streamed);
  ASSERT_EQ(perItem.frames, videos.size());
  size_t at = perItem.dataStart;
  for (size_t f = 0; f < videos.size(); ++f) {
    const size_t length = perItem.FrameUnits(f) * perItem.block;
    ASSERT_GE(length, videos[f].size()) << "frame " << f;
    ASSERT_LT(length, videos[f].size() + perItem.block) << "frame " << f;
    EXPECT_TRUE(std::equal(videos[f].begin(), videos[f].end(),
                           perItem.bytes.begin() + static_cast<std::ptrdiff_t>(at)))
        << "frame " << f;
    at += length;
  }
  EXPECT_EQ(at, perItem.dataStart + perItem.dataSize);
}

void ExpectViewsAgree(BULK_HANDLE camera) {
  const std::vector<testing::StreamItem> streamed = StreamAll(camera);
  ASSERT_EQ(static_cast<int>(streamed.size()), BULK_GetImgCount(camera));
  for (size_t i = 0; i < streamed.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i) + " " + outside::bulk::TagText(streamed[i].header.tag));
    const PerItem perItem = FetchItem(camera, static_cast<int>(i));
    const outside::bulk::StoredItemHeader& header = streamed[i].header;
    EXPECT_EQ(perItem.kind, KindOfStreamItem(header));
    EXPECT_EQ(perItem.table, header.tableIndex);
    EXPECT_EQ(perItem.block, 64u);
    const std::vector<uint8_t> content(streamed[i].data.begin(),
                                       streamed[i].data.begin() + header.contentSize);
    EXPECT_TRUE(std::all_of(streamed[i].data.begin() + header.contentSize, streamed[i].data.end(),
                            [](uint8_t b) { return b == 0; }));
    switch (perItem.kind) {
      case 3:
      case 4: {
        std::vector<uint8_t> expected = Stuffed(content);
        expected.insert(expected.end(), {0xFF, 0xD9});
        EXPECT_EQ(perItem.frames, 1u);
        EXPECT_EQ(perItem.Data(), expected);
        break;
      }
      case 1:
        EXPECT_EQ(perItem.frameMs, 100u);
        ExpectSameFrames(perItem, streamed[i]);
        break;
      case 2:
        ExpectSameFrames(perItem, streamed[i]);
        break;
      case 5:
        EXPECT_EQ(perItem.Data(), content);
        break;
      default:
        ADD_FAILURE() << "kind " << int{perItem.kind};
    }
  }
}

class BulkViews : public testing::BulkTest {
 protected:
  // Writes `file` and decodes it with the JPEG library, as top-down R, G, B.
  std::vector<uint8_t> DecodeJpeg(const std::vector<uint8_t>& file, uint32_t width,
                                  uint32_t height) {
    const auto path = root_ / "rebuilt.jpg";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    HGLOBAL block = JPEG_2Dib(path.c_str());
    if (block == nullptr) {
      ADD_FAILURE() << "JPEG_2Dib refused the rebuilt file";
      return {};
    }
    const auto* bitmap = static_cast<const uint8_t*>(GlobalLock(block));
    EXPECT_EQ(common::PackedBitmapWidth(bitmap), static_cast<int32_t>(width));
    EXPECT_EQ(common::PackedBitmapHeight(bitmap), static_cast<int32_t>(height));
    const size_t rowBytes = common::PackedRowBytes(static_cast<int32_t>(width), 24);
    const uint8_t* pixels = common::PackedBitmapPixels(bitmap);
    std::vector<uint8_t> rgb;
    for (uint32_t y = height; y-- > 0;) {
      const uint8_t* row = pixels + y * rowBytes;
      for (uint32_t x = 0; x < width; ++x)
        rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return rgb;
  }

  // The header as the library hands it over, byte 10 zeroed as the camera
  // access library does before writing it.
  std::vector<uint8_t> Header(BULK_HANDLE camera, int table) {
    std::vector<uint8_t> header(623);
    EXPECT_EQ(BULK_GetJPEGHeader(camera, table, header.data()), 1);
    header[10] = 0;
    return header;
  }
};

TEST_F(BulkViews, AgreeItemByItemOnTheSimulatedCamera) { ExpectViewsAgree(Connect()); }

TEST_F(BulkViews, AgreeItemByItemOnAMemoryImage) {
  UseImage(outside::bulk::WriteMemoryImage(testing::PhotoMemory()));
  ExpectViewsAgree(Connect());
}

TEST_F(BulkViews, RebuiltPicturesInBothFormsAreThePhotographs) {
  UseImage(outside::bulk::WriteMemoryImage(testing::PhotoMemory()));
  const BULK_HANDLE camera = Connect();
  const std::vector<testing::StreamItem> streamed = StreamAll(camera);
  struct Case {
    int index;
    const char* photo;
    uint32_t width, height;
    double minimumPsnr;
  };
  for (const Case& c : {Case{0, "chelsea", 640, 480, 30.0}, Case{1, "coffee", 160, 128, 24.0}}) {
    SCOPED_TRACE(c.photo);
    const PerItem perItem = FetchItem(camera, c.index);
    // Plain form: the header, then the per-item data unchanged.
    std::vector<uint8_t> plain = Header(camera, perItem.table);
    const std::vector<uint8_t> data = perItem.Data();
    plain.insert(plain.end(), data.begin(), data.end());
    // Stuffed form: the header, the stream data stuffed, then EOI.
    std::vector<uint8_t> stuffed = Header(camera, streamed[c.index].header.tableIndex);
    const std::vector<uint8_t> streamData = Stuffed(streamed[c.index].data);
    stuffed.insert(stuffed.end(), streamData.begin(), streamData.end());
    stuffed.insert(stuffed.end(), {0xFF, 0xD9});

    const std::vector<uint8_t> fromPlain = DecodeJpeg(plain, c.width, c.height);
    const std::vector<uint8_t> fromStuffed = DecodeJpeg(stuffed, c.width, c.height);
    EXPECT_GT(testing::Psnr(fromPlain, testing::FittedPhoto(c.photo, c.width, c.height)),
              c.minimumPsnr);
    EXPECT_EQ(fromPlain, fromStuffed);  // the padding before EOI changes nothing
  }
}

TEST_F(BulkViews, ClipFramesDecodeWithTheStoredFrameDecoder) {
  UseImage(outside::bulk::WriteMemoryImage(testing::PhotoMemory()));
  const BULK_HANDLE camera = Connect();
  const PerItem clip = FetchItem(camera, 2);
  ASSERT_EQ(clip.kind, 1);
  std::array<uint8_t, 128> table;
  ASSERT_EQ(BULK_GetQtable(camera, clip.table, table.data()), 1);
  codec::StoredFrameDecoder decoder;
  ASSERT_TRUE(decoder.SetUp());
  ASSERT_TRUE(decoder.Prepare({320, 240}, codec::OutputCode::kRgb24));
  decoder.SelectQuantPair(2);
  decoder.LoadQuantTable(table);
  const std::vector<uint8_t> scene = testing::FittedPhoto("astronaut", 320, 240);
  std::vector<uint8_t> frame(320 * 240 * 3);
  size_t at = clip.dataStart;
  for (size_t f = 0; f < clip.frames; ++f) {
    const size_t length = clip.FrameUnits(f) * clip.block;
    uint32_t written = 0;
    ASSERT_TRUE(decoder.Decode(std::span(clip.bytes).subspan(at, length), frame, written));
    // Rows come bottom-up, as device-independent bitmaps hold them.
    std::vector<uint8_t> topDown;
    for (size_t y = 240; y-- > 0;) {
      topDown.insert(topDown.end(), frame.begin() + static_cast<std::ptrdiff_t>(y * 960),
                     frame.begin() + static_cast<std::ptrdiff_t>((y + 1) * 960));
    }
    EXPECT_GT(testing::Psnr(topDown, scene), 24.0) << "frame " << f;
    at += length;
  }
}

}  // namespace
}  // namespace ksv::outside::bulk
