// What the AVI Splitter makes of one stream: its media type and the packets
// (offsets, sizes, times, sync points) its pin delivers.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/filters/avi_splitter/avi_stream_types.h"

namespace ksv::media::filters {
namespace {

using avi::IndexEntry;

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  Put16(bytes, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, static_cast<uint16_t>(value >> 16));
}

std::vector<uint8_t> BitmapHeader(int32_t width, int32_t height, uint16_t bits,
                                  uint32_t compression, uint32_t sizeImage,
                                  uint32_t colours = 0) {
  std::vector<uint8_t> bytes;
  Put32(bytes, 40);
  Put32(bytes, static_cast<uint32_t>(width));
  Put32(bytes, static_cast<uint32_t>(height));
  Put16(bytes, 1);
  Put16(bytes, bits);
  Put32(bytes, compression);
  Put32(bytes, sizeImage);
  Put32(bytes, 2835);
  Put32(bytes, 2835);
  Put32(bytes, colours);
  Put32(bytes, 0);
  return bytes;
}

avi::Stream VideoStream(std::vector<uint8_t> format, uint32_t scale, uint32_t rate) {
  avi::Stream stream;
  stream.header.type = avi::kStreamVideo;
  stream.header.scale = scale;
  stream.header.rate = rate;
  stream.format = std::move(format);
  return stream;
}

const VIDEOINFOHEADER* Info(const CMediaType& type) {
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
}

TEST(AviStreamPlan, VideoFramesTakeTheirPlaceInTimeAndEmptyChunksLeaveAGap) {
  avi::Stream stream = VideoStream(BitmapHeader(320, 240, 24, avi::Fourcc("MJPG"), 0), 1, 25);
  stream.index = {IndexEntry{1000, 500, true}, IndexEntry{1508, 300, false},
                  IndexEntry{1816, 0, false},  // a dropped frame
                  IndexEntry{1824, 700, true}};
  const PullPlan plan = AviStreamPlan(stream);
  ASSERT_EQ(plan.packets.size(), 3u);
  EXPECT_EQ(plan.packets[0].offset, 1000u);
  EXPECT_EQ(plan.packets[0].size, 500u);
  EXPECT_EQ(plan.packets[0].start, 0);
  EXPECT_EQ(plan.packets[0].stop, 400'000);
  EXPECT_TRUE(plan.packets[0].syncPoint);
  EXPECT_EQ(plan.packets[1].start, 400'000);
  EXPECT_FALSE(plan.packets[1].syncPoint);
  // The fourth frame keeps its own time: the third was dropped.
  EXPECT_EQ(plan.packets[2].offset, 1824u);
  EXPECT_EQ(plan.packets[2].start, 1'200'000);
  EXPECT_EQ(plan.packets[2].stop, 1'600'000);
  EXPECT_TRUE(plan.packets[2].syncPoint);
  EXPECT_EQ(plan.duration, 1'600'000);

  // A stream that starts later starts its times later; NTSC's odd period.
  stream.header.start = 10;
  stream.header.scale = 1001;
  stream.header.rate = 30000;
  const PullPlan later = AviStreamPlan(stream);
  EXPECT_EQ(later.packets[0].start, 3'336'666);  // 10 * 1001 / 30000 s
  EXPECT_EQ(later.packets[0].stop, 3'670'333);
}

TEST(AviStreamPlan, SoundChunksAreTimedByTheirSamplesAndAllSyncPoints) {
  avi::Stream stream;
  stream.header.type = avi::kStreamAudio;
  stream.header.scale = 1;
  stream.header.rate = 44100;
  stream.header.sampleSize = 4;  // 16-bit stereo
  stream.format = std::vector<uint8_t>(18, 0);
  stream.index = {IndexEntry{100, 4000, false}, IndexEntry{4108, 0, false},
                  IndexEntry{4116, 8820, false}};
  const PullPlan plan = AviStreamPlan(stream);
  ASSERT_EQ(plan.packets.size(), 2u);
  EXPECT_EQ(plan.packets[0].start, 0);
  EXPECT_EQ(plan.packets[0].stop, 226'757);  // 1000 samples
  EXPECT_TRUE(plan.packets[0].syncPoint);
  EXPECT_EQ(plan.packets[1].start, 226'757);
  EXPECT_EQ(plan.packets[1].stop, 726'757);  // 3205 samples
  EXPECT_TRUE(plan.packets[1].syncPoint);
  EXPECT_EQ(plan.duration, 726'757);
}

TEST(AviStreamMediaType, CompressedVideoGivesItsFourccAndFramePeriod) {
  std::vector<uint8_t> format = BitmapHeader(640, 480, 24, avi::Fourcc("MJPG"), 640 * 480 * 3);
  format.insert(format.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // codec data after the header
  avi::Stream stream = VideoStream(format, 1, 10);
  stream.index = {IndexEntry{0, 10'000, true}, IndexEntry{10'008, 15'000, true}};
  CMediaType type;
  ASSERT_TRUE(AviStreamMediaType(stream, AviStreamPlan(stream), &type));
  EXPECT_EQ(*type.Type(), MEDIATYPE_Video);
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_MJPG);
  EXPECT_EQ(*type.FormatType(), FORMAT_VideoInfo);
  ASSERT_EQ(type.FormatLength(), sizeof(VIDEOINFOHEADER) + 4);
  const VIDEOINFOHEADER* info = Info(type);
  EXPECT_EQ(info->AvgTimePerFrame, 1'000'000);
  EXPECT_EQ(info->bmiHeader.biWidth, 640);
  EXPECT_EQ(info->bmiHeader.biHeight, 480);
  EXPECT_EQ(info->bmiHeader.biCompression, avi::Fourcc("MJPG"));
  EXPECT_EQ(info->bmiHeader.biSizeImage, 640u * 480 * 3);
  EXPECT_EQ(info->bmiHeader.biXPelsPerMeter, 2835);
  EXPECT_EQ(info->dwBitRate, 1'000'000u);  // 25,000 bytes in 0.2 s
  EXPECT_EQ(info->rcSource.right, 0);      // empty: the whole picture
  EXPECT_EQ(std::memcmp(type.Format() + sizeof(VIDEOINFOHEADER), "\xDE\xAD\xBE\xEF", 4), 0);
  EXPECT_TRUE(type.IsTemporalCompressed());
  EXPECT_FALSE(type.IsFixedSize());
}

TEST(AviStreamMediaType, UncompressedVideoIsNamedByBitCountWithFixedSizeFrames) {
  struct Case {
    uint16_t bits;
    uint32_t compression;
    GUID subtype;
  };
  const Case cases[] = {{24, 0, MEDIASUBTYPE_RGB24},
                        {32, 0, MEDIASUBTYPE_RGB32},
                        {16, 0, MEDIASUBTYPE_RGB555},
                        {16, BI_BITFIELDS, MEDIASUBTYPE_RGB565}};
  for (const Case& c : cases) {
    // No image size stored: the frame size comes from the picture (rows of 4 bytes).
    avi::Stream stream = VideoStream(BitmapHeader(33, -10, c.bits, c.compression, 0), 1, 30);
    CMediaType type;
    ASSERT_TRUE(AviStreamMediaType(stream, AviStreamPlan(stream), &type)) << c.bits;
    EXPECT_EQ(*type.Subtype(), c.subtype) << c.bits;
    EXPECT_TRUE(type.IsFixedSize());
    EXPECT_FALSE(type.IsTemporalCompressed());
    EXPECT_EQ(type.GetSampleSize(), ((33u * c.bits + 31) / 32 * 4) * 10) << c.bits;
  }

  // 8-bit frames carry their palette after the header.
  std::vector<uint8_t> format = BitmapHeader(16, 16, 8, 0, 256, 2);
  format.insert(format.end(), {1, 2, 3, 0, 4, 5, 6, 0});
  avi::Stream stream = VideoStream(format, 1, 30);
  CMediaType type;
  ASSERT_TRUE(AviStreamMediaType(stream, AviStreamPlan(stream), &type));
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_RGB8);
  EXPECT_EQ(type.GetSampleSize(), 256u);
  ASSERT_EQ(type.FormatLength(), sizeof(VIDEOINFOHEADER) + 8);
  const auto* palette = reinterpret_cast<const RGBQUAD*>(type.Format() + sizeof(VIDEOINFOHEADER));
  EXPECT_EQ(palette[1].rgbBlue, 4);
  EXPECT_EQ(palette[1].rgbRed, 6);
}

TEST(AviStreamMediaType, OtherStreamsHaveNoType) {
  avi::Stream text;
  text.header.type = avi::kStreamText;
  text.format = std::vector<uint8_t>(40, 0);
  CMediaType type;
  EXPECT_FALSE(AviStreamMediaType(text, AviStreamPlan(text), &type));
}

}  // namespace
}  // namespace ksv::media::filters
