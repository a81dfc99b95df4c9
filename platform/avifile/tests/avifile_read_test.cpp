// Reading AVI files FFmpeg wrote: file and stream information, formats,
// samples, key frames, times, decoded frames, and bad files.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/avifile/tests/avifile_test_support.h"
#include "platform/media/avi/tests/avi_test_support.h"

namespace ksv::avifile::test {
namespace {

class AviFileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!media::avi::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    AVIFileInit();
  }
  void TearDown() override { AVIFileExit(); }
};

TEST_F(AviFileRead, FileAndStreamInformationFollowTheHeaders) {
  File file = Open(Clip("mjpeg"));
  AVIFILEINFOA info{};
  ASSERT_EQ(AVIFileInfoA(file.get(), &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.dwStreams, 2u);
  EXPECT_EQ(info.dwWidth, 64u);
  EXPECT_EQ(info.dwHeight, 48u);
  EXPECT_EQ(info.dwLength, 15u);
  EXPECT_EQ(double(info.dwRate) / info.dwScale, 15.0);
  EXPECT_TRUE(info.dwFlags & AVIFILEINFO_HASINDEX);
  EXPECT_EQ(info.dwCaps & AVIFILECAPS_CANREAD, AVIFILECAPS_CANREAD);

  // A short buffer gets what fits, and no more.
  AVIFILEINFOA part;
  std::memset(&part, 0xAB, sizeof part);
  EXPECT_EQ(AVIFileInfoA(file.get(), &part, 8), AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(part.dwFlags, info.dwFlags);
  EXPECT_EQ(part.dwCaps, 0xABABABABu);

  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  AVISTREAMINFOA v{}, a{};
  ASSERT_EQ(AVIStreamInfoA(video.get(), &v, sizeof v), AVIERR_OK);
  ASSERT_EQ(AVIStreamInfoA(audio.get(), &a, sizeof a), AVIERR_OK);
  EXPECT_EQ(v.fccType, streamtypeVIDEO);
  EXPECT_EQ(v.fccHandler, KSV_AVI_FOURCC('M', 'J', 'P', 'G'));
  EXPECT_EQ(double(v.dwRate) / v.dwScale, 15.0);
  EXPECT_EQ(v.dwStart, 0u);
  EXPECT_EQ(v.dwLength, 15u);
  EXPECT_EQ(v.dwSampleSize, 0u);
  EXPECT_EQ(v.rcFrame.right, 64);
  EXPECT_EQ(v.rcFrame.bottom, 48);
  EXPECT_EQ(a.fccType, streamtypeAUDIO);
  EXPECT_EQ(a.dwSampleSize, 2u);
  EXPECT_EQ(double(a.dwRate) / a.dwScale, 8000.0);
  EXPECT_EQ(a.dwLength, 8000u);
  EXPECT_EQ(AVIStreamStart(audio.get()), 0);
  EXPECT_EQ(AVIStreamLength(audio.get()), 8000);

  // Streams by number and by type; past the last there is none.
  PAVISTREAM stream = nullptr;
  EXPECT_EQ(AVIFileGetStream(file.get(), &stream, 0, 1), AVIERR_OK);
  EXPECT_EQ(stream, audio.get());
  AVIStreamRelease(stream);
  EXPECT_EQ(AVIFileGetStream(file.get(), &stream, streamtypeAUDIO, 1), AVIERR_NODATA);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(AVIFileGetStream(file.get(), &stream, streamtypeTEXT, 0), AVIERR_NODATA);

  // A stream outlives its file's handle.
  file.reset();
  EXPECT_EQ(Sample(video.get(), 14).size() > 100, true);
}

TEST_F(AviFileRead, FormatsAndSamplesAreTheStoredBytes) {
  const std::string path = Clip("mjpeg");
  File file = Open(path);
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);

  LONG size = 0;
  ASSERT_EQ(AVIStreamReadFormat(video.get(), 0, nullptr, &size), AVIERR_OK);
  ASSERT_GE(size, LONG{sizeof(BITMAPINFOHEADER)});
  std::vector<uint8_t> format(size_t(size) + 8, 0xEE);
  LONG got = size + 8;
  ASSERT_EQ(AVIStreamReadFormat(video.get(), 0, format.data(), &got), AVIERR_OK);
  EXPECT_EQ(got, size);
  BITMAPINFOHEADER header;
  std::memcpy(&header, format.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 64);
  EXPECT_EQ(header.biHeight, 48);
  EXPECT_EQ(header.biCompression, KSV_AVI_FOURCC('M', 'J', 'P', 'G'));
  got = 10;
  EXPECT_EQ(AVIStreamReadFormat(video.get(), 0, format.data(), &got), AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(got, 10);

  ASSERT_EQ(AVIStreamFormatSize(audio.get(), 0, &size), AVIERR_OK);
  std::vector<uint8_t> wave(static_cast<size_t>(size));
  ASSERT_EQ(AVIStreamReadFormat(audio.get(), 0, wave.data(), &size), AVIERR_OK);
  uint16_t tag;
  uint32_t rate;
  std::memcpy(&tag, &wave[0], 2);
  std::memcpy(&rate, &wave[4], 4);
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(rate, 8000u);

  // Every video sample is FFmpeg's packet, byte for byte.
  const auto packets = media::avi::test::FramePackets(path);
  std::vector<media::avi::test::Packet> videoPackets;
  for (const auto& packet : packets)
    if (packet.stream == 0) videoPackets.push_back(packet);
  ASSERT_EQ(videoPackets.size(), 15u);
  for (LONG i = 0; i < 15; ++i) {
    const auto sample = Sample(video.get(), i);
    ASSERT_EQ(sample.size(), videoPackets[size_t(i)].size);
    EXPECT_EQ(media::avi::test::Adler32(sample.data(), sample.size(), 0),
              videoPackets[size_t(i)].adler);
  }

  // The sound read in the stream's own portions is FFmpeg's, and the
  // portions cover it without gaps.
  const auto pcm = media::avi::test::Run("ffmpeg -v error -i '" + path +
                                         "' -map 0:a -f s16le -c:a copy -");
  ASSERT_TRUE(pcm.has_value());
  std::string ours;
  for (LONG at = 0; at < AVIStreamLength(audio.get());) {
    std::vector<char> buffer(4096);
    LONG bytes = 0, samples = 0;
    ASSERT_EQ(AVIStreamRead(audio.get(), at, AVISTREAMREAD_CONVENIENT, buffer.data(),
                            LONG(buffer.size()), &bytes, &samples),
              AVIERR_OK);
    ASSERT_GT(samples, 0);
    EXPECT_EQ(bytes, samples * 2);
    ours.append(buffer.data(), size_t(bytes));
    at += samples;
  }
  EXPECT_EQ(ours, *pcm);

  // Sizes asked for, buffers too small, positions outside.
  LONG bytes = 0, samples = 0;
  EXPECT_EQ(AVIStreamRead(audio.get(), 100, 50, nullptr, 0, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(bytes, 100);
  EXPECT_EQ(samples, 50);
  char small[3];
  EXPECT_EQ(AVIStreamRead(audio.get(), 100, 50, small, 3, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 1);  // only whole samples
  EXPECT_EQ(AVIStreamRead(audio.get(), 100, 50, small, 1, &bytes, &samples),
            AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(AVIStreamRead(video.get(), 0, 1, small, 3, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(AVIStreamRead(video.get(), 15, 1, nullptr, 0, &bytes, &samples), AVIERR_BADPARAM);
  EXPECT_EQ(AVIStreamRead(video.get(), -1, 1, nullptr, 0, &bytes, &samples), AVIERR_BADPARAM);
}

TEST_F(AviFileRead, KeyFramesAndTimesFollowTheIndexAndRate) {
  const std::string path = Clip("cinepak");
  File file = Open(path);
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  const auto flags = media::avi::test::Run(
      "ffprobe -v error -select_streams 0 -show_entries packet=flags -of csv=p=0 '" + path + "'");
  ASSERT_TRUE(flags.has_value());
  std::vector<bool> keys;
  for (size_t at = 0; at < flags->size(); at = flags->find('\n', at) + 1)
    keys.push_back((*flags)[at] == 'K');
  ASSERT_EQ(keys.size(), 15u);
  for (LONG i = 0; i < 15; ++i) EXPECT_EQ(AVIStreamIsKeyFrame(video.get(), i), keys[size_t(i)]) << i;
  EXPECT_EQ(AVIStreamFindSample(video.get(), 7, FIND_PREV | FIND_KEY), 5);
  EXPECT_EQ(AVIStreamFindSample(video.get(), 7, FIND_NEXT | FIND_KEY), 10);
  EXPECT_EQ(AVIStreamNextKeyFrame(video.get(), 10), -1);
  EXPECT_EQ(AVIStreamPrevKeyFrame(video.get(), 5), 0);
  EXPECT_EQ(AVIStreamFindSample(video.get(), 40, FIND_PREV | FIND_KEY), 10);
  EXPECT_EQ(AVIStreamFindSample(video.get(), 4, FIND_ANY), 4);
  EXPECT_GT(AVIStreamFindSample(video.get(), 4, FIND_NEXT | FIND_ANY | FIND_SIZE), 0);

  // Each frame's time gives back the frame.
  for (LONG i = 0; i <= 15; ++i)
    EXPECT_EQ(AVIStreamTimeToSample(video.get(), AVIStreamSampleToTime(video.get(), i)), i);
  EXPECT_EQ(AVIStreamSampleToTime(video.get(), 15), 1000);
  EXPECT_EQ(AVIStreamSampleToTime(video.get(), 2), 133);

  // A frame's time in another stream's samples (the audio of frame 7).
  File clip = Open(Clip("mjpeg"));
  Stream audio = GetStream(clip.get(), streamtypeAUDIO);
  EXPECT_EQ(AVIStreamTimeToSample(audio.get(), AVIStreamSampleToTime(video.get(), 7)), 3736);
  EXPECT_EQ(AVIStreamSampleToTime(audio.get(), 8000), 1000);
}

TEST_F(AviFileRead, DecodedFramesMatchFfmpegs) {
  for (const char* kind : {"mjpeg", "cinepak"}) {
    const std::string path = Clip(kind);
    File file = Open(path);
    Stream video = GetStream(file.get(), streamtypeVIDEO);
    PGETFRAME frames = AVIStreamGetFrameOpen(video.get(), nullptr);
    ASSERT_NE(frames, nullptr) << kind;
    // Frame 8 of the Cinepak clip depends on 5, 6 and 7; asked out of order.
    for (int n : {8, 2, 3}) {
      const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(frames, n));
      ASSERT_NE(dib, nullptr) << kind << " " << n;
      BITMAPINFOHEADER header;
      std::memcpy(&header, dib, sizeof header);
      EXPECT_EQ(header.biSize, 40u);
      EXPECT_EQ(header.biWidth, 64);
      EXPECT_EQ(header.biHeight, 48);
      EXPECT_EQ(header.biBitCount, 24);
      EXPECT_EQ(header.biCompression, BI_RGB);
      const auto theirs = FfmpegFrame(path, n, 64, 48);
      ASSERT_FALSE(theirs.empty());
      EXPECT_LT(MeanDifference(dib, theirs, 64, 48), 4.0) << kind << " frame " << n;
    }
    EXPECT_EQ(AVIStreamGetFrame(frames, 15), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(frames), AVIERR_OK);
  }
  // 32-bit asked for; a size other than the stream's refused; audio has none.
  File file = Open(Clip("mjpeg"));
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  BITMAPINFOHEADER wanted{};
  wanted.biSize = 40;
  wanted.biBitCount = 32;
  PGETFRAME frames = AVIStreamGetFrameOpen(video.get(), &wanted);
  ASSERT_NE(frames, nullptr);
  const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(frames, 0));
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(dib)->biBitCount, 32);
  AVIStreamGetFrameClose(frames);
  wanted.biWidth = 32;
  EXPECT_EQ(AVIStreamGetFrameOpen(video.get(), &wanted), nullptr);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  EXPECT_EQ(AVIStreamGetFrameOpen(audio.get(), nullptr), nullptr);
}

// Patches a 32-bit value in a copy of `bytes`.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
  std::memcpy(&bytes[at], &value, 4);
  return bytes;
}

TEST_F(AviFileRead, BadFilesFailWithTheirCodesOrReadWhatIsThere) {
  testing::TempFolder folder;
  const auto clip = testing::ReadFile(Clip("mjpeg"));
  PAVIFILE file = nullptr;
  const auto open = [&](const std::vector<uint8_t>& bytes) {
    const auto path = folder / "bad.avi";
    testing::WriteFile(path, bytes);
    file = nullptr;
    return AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr);
  };

  EXPECT_EQ(AVIFileOpenA(&file, (folder / "none.avi").c_str(), OF_READ, nullptr),
            AVIERR_FILEOPEN);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(open({}), AVIERR_BADFORMAT);
  EXPECT_EQ(open(std::vector<uint8_t>(500, 'x')), AVIERR_BADFORMAT);
  EXPECT_EQ(open({clip.begin(), clip.begin() + 100}), AVIERR_BADFORMAT);  // inside hdrl

  // A stream with a zero rate cannot be timed: refused, not divided by.
  const size_t strh = Find(clip, "strh");
  EXPECT_EQ(open(Patched(clip, strh + 8 + 24, 0)), AVIERR_BADFORMAT);

  // Cut short: what is there reads, every frame decodes or is refused.
  ASSERT_EQ(open({clip.begin(), clip.begin() + long(clip.size() * 6 / 10)}), AVIERR_OK);
  {
    File cut(file);
    Stream video = GetStream(cut.get(), streamtypeVIDEO);
    const LONG length = AVIStreamLength(video.get());
    EXPECT_GT(length, 3);
    EXPECT_LT(length, 15);
    PGETFRAME frames = AVIStreamGetFrameOpen(video.get(), nullptr);
    for (LONG i = 0; i < length; ++i) EXPECT_NE(AVIStreamGetFrame(frames, i), nullptr) << i;
    AVIStreamGetFrameClose(frames);
  }

  // An index entry pointing past the end: that frame is not in the stream.
  const size_t idx1 = Find(clip, "idx1");
  size_t last = idx1 + 8;
  for (size_t entry = idx1 + 8; entry + 16 <= clip.size(); entry += 16)
    if (std::memcmp(&clip[entry], "00dc", 4) == 0) last = entry;
  ASSERT_EQ(open(Patched(clip, last + 8, 0x7FFF0000)), AVIERR_OK);
  {
    File pointing(file);
    Stream video = GetStream(pointing.get(), streamtypeVIDEO);
    EXPECT_EQ(AVIStreamLength(video.get()), 14);
    for (LONG i = 0; i < 14; ++i) EXPECT_FALSE(Sample(video.get(), i).empty());
  }

  // Arguments.
  EXPECT_EQ(AVIFileOpenA(nullptr, "x", OF_READ, nullptr), AVIERR_BADPARAM);
  CLSID handler{};
  EXPECT_EQ(AVIFileOpenA(&file, Clip("mjpeg").c_str(), OF_READ, &handler), AVIERR_UNSUPPORTED);
  AVIFILEINFOA info;
  EXPECT_EQ(AVIFileInfoA(nullptr, &info, sizeof info), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIStreamLength(nullptr), -1);
  EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace ksv::avifile::test
