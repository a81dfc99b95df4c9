// What each input type becomes in the file, and which types are refused.
#include "platform/media/filters/avi_mux/stream_format.h"

#include <gtest/gtest.h>

#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"

namespace ksv::media::avimux {
namespace {

using testing::AudioType;
using testing::VideoType;

constexpr DWORD kMjpg = 0x47504A4D;

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

TEST(MuxStreamFormat, RefusesFormatBlocksTooShortForWhatTheyClaim) {
  CMediaType video = VideoType(kMjpg, 320, 240, 24, 333333);
  EXPECT_EQ(CheckStreamType(video), S_OK);

  CMediaType shortBlock = video;
  shortBlock.SetFormat(video.Format(), sizeof(VIDEOINFOHEADER) - 1);
  EXPECT_NE(CheckStreamType(shortBlock), S_OK);

  CMediaType bigHeader = video;
  HEADER(bigHeader.Format())->biSize = 400;  // more than the block holds
  EXPECT_NE(CheckStreamType(bigHeader), S_OK);

  CMediaType noWidth = video;
  HEADER(noWidth.Format())->biWidth = 0;
  EXPECT_NE(CheckStreamType(noWidth), S_OK);

  CMediaType wrongFormat = video;
  wrongFormat.SetFormatType(&FORMAT_WaveFormatEx);
  EXPECT_NE(CheckStreamType(wrongFormat), S_OK);

  CMediaType adpcm = AudioType(0x11, 1, 22050, 11100, 256, 4, {0xF9, 0x01});
  EXPECT_EQ(CheckStreamType(adpcm), S_OK);
  CMediaType truncatedExtra = adpcm;
  truncatedExtra.SetFormat(adpcm.Format(), adpcm.FormatLength() - 1);  // cbSize says 2
  EXPECT_NE(CheckStreamType(truncatedExtra), S_OK);

  CMediaType noBlockAlign = AudioType(1, 2, 44100, 176400, 0, 16);
  EXPECT_NE(CheckStreamType(noBlockAlign), S_OK);
  CMediaType noFormat = AudioType(1, 2, 44100, 176400, 4, 16);
  noFormat.ResetFormatBuffer();
  EXPECT_NE(CheckStreamType(noFormat), S_OK);

  CMediaType text(&MEDIATYPE_Text);
  EXPECT_NE(CheckStreamType(text), S_OK);
}

TEST(MuxStreamFormat, VideoRateComesFromFrameTimeElseFirstSampleElseThirtyFrames) {
  // Periods rounded to 100 ns from a whole or NTSC rate give that rate.
  StreamSetup ntsc = DescribeStream(VideoType(kMjpg, 320, 240, 24, 333667), 0);
  EXPECT_EQ(ntsc.header.rate, 30000u);
  EXPECT_EQ(ntsc.header.scale, 1001u);
  StreamSetup thirty = DescribeStream(VideoType(kMjpg, 320, 240, 24, 333333), 0);
  EXPECT_EQ(thirty.header.rate, 30u);
  EXPECT_EQ(thirty.header.scale, 1u);
  // Any other period as it is, reduced.
  StreamSetup odd = DescribeStream(VideoType(kMjpg, 320, 240, 24, 123450), 0);
  EXPECT_EQ(odd.header.rate, 200000u);
  EXPECT_EQ(odd.header.scale, 2469u);
  EXPECT_EQ(ntsc.header.handler, kMjpg);
  EXPECT_EQ(ntsc.header.type, avi::kStreamVideo);

  StreamSetup pal = DescribeStream(VideoType(kMjpg, 320, 240, 24, 400000), 0);
  EXPECT_EQ(pal.header.rate, 25u);
  EXPECT_EQ(pal.header.scale, 1u);

  StreamSetup fromSample = DescribeStream(VideoType(kMjpg, 320, 240, 24, 0), 500000);
  EXPECT_EQ(fromSample.header.rate, 20u);
  EXPECT_EQ(fromSample.header.scale, 1u);

  StreamSetup fallback = DescribeStream(VideoType(kMjpg, 320, 240, 24, 0), 0);
  EXPECT_EQ(fallback.header.rate, 30u);
  EXPECT_EQ(fallback.header.scale, 1u);
}

TEST(MuxStreamFormat, VideoFormatIsTheBitmapHeaderWithItsColourTable) {
  StreamSetup mjpg = DescribeStream(VideoType(kMjpg, 320, -240, 24, 333333), 0);
  ASSERT_EQ(mjpg.format.size(), 40u);
  EXPECT_EQ(Le32(mjpg.format, 0), 40u);
  EXPECT_EQ(Le32(mjpg.format, 4), 320u);
  EXPECT_EQ(int32_t(Le32(mjpg.format, 8)), -240);
  EXPECT_EQ(Le32(mjpg.format, 16), kMjpg);
  EXPECT_EQ(mjpg.height, 240);

  // An 8-bit picture in a VIDEOINFO keeps its 256 colours, not the rest.
  CMediaType palette = VideoType(0, 16, 16, 8, 333333);
  palette.ReallocFormatBuffer(sizeof(VIDEOINFO));
  StreamSetup eight = DescribeStream(palette, 0);
  EXPECT_EQ(eight.format.size(), 40u + 256 * 4);
  EXPECT_EQ(eight.header.handler, 0u);
  // Without room for the table, only the header.
  StreamSetup bare = DescribeStream(VideoType(0, 16, 16, 8, 333333), 0);
  EXPECT_EQ(bare.format.size(), 40u);
}

TEST(MuxStreamFormat, AudioStreamsCountBlocks) {
  StreamSetup pcm = DescribeStream(AudioType(1, 2, 44100, 176400, 4, 16), 0);
  EXPECT_EQ(pcm.header.type, avi::kStreamAudio);
  EXPECT_EQ(pcm.header.scale, 4u);
  EXPECT_EQ(pcm.header.rate, 176400u);
  EXPECT_EQ(pcm.header.sampleSize, 4u);
  EXPECT_EQ(pcm.format.size(), 16u);  // plain PCM has no cbSize
  EXPECT_EQ(Le32(pcm.format, 4), 44100u);

  StreamSetup adpcm = DescribeStream(AudioType(0x11, 1, 22050, 11100, 256, 4, {0xF9, 0x01}), 0);
  ASSERT_EQ(adpcm.format.size(), 20u);
  EXPECT_EQ(adpcm.format[16], 2);  // cbSize
  EXPECT_EQ(adpcm.format[18], 0xF9);
  EXPECT_EQ(adpcm.header.scale, 256u);
  EXPECT_EQ(adpcm.header.sampleSize, 256u);
}

}  // namespace
}  // namespace ksv::media::avimux
