// Edit streams and saves: ranges cut, copied and pasted; files saved with
// an index, interleaved, and never left half-written under their name.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "platform/avifile/tests/avifile_test_support.h"
#include "platform/media/avi/tests/avi_test_support.h"

namespace ksv::avifile::test {
namespace {

namespace fs = std::filesystem;

class AviFileEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!media::avi::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    AVIFileInit();
  }
  void TearDown() override { AVIFileExit(); }
};

Stream Editable(IAVIStream* source) {
  PAVISTREAM editable = nullptr;
  EXPECT_EQ(CreateEditableStream(&editable, source), AVIERR_OK);
  return Stream(editable);
}

AVICOMPRESSOPTIONS CopyOptions() {
  AVICOMPRESSOPTIONS options{};
  options.dwFlags = AVICOMPRESSF_VALID;
  return options;
}

size_t FilesIn(const fs::path& folder) {
  return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(AviFileEdit, CutCopyAndPasteMoveRangesOfSamples) {
  File file = Open(Clip("mjpeg"));
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  Stream edit = Editable(video.get());
  EXPECT_EQ(AVIStreamLength(edit.get()), 15);

  LONG start = 3, length = 4;
  PAVISTREAM copied = nullptr;
  ASSERT_EQ(EditStreamCopy(edit.get(), &start, &length, &copied), AVIERR_OK);
  Stream copy(copied);
  EXPECT_EQ(AVIStreamStart(copy.get()), 0);
  EXPECT_EQ(AVIStreamLength(copy.get()), 4);
  EXPECT_EQ(Sample(copy.get(), 0), Sample(video.get(), 3));
  EXPECT_EQ(Sample(copy.get(), 3), Sample(video.get(), 6));

  start = 0, length = 5;
  PAVISTREAM cutOut = nullptr;
  ASSERT_EQ(EditStreamCut(edit.get(), &start, &length, &cutOut), AVIERR_OK);
  Stream cut(cutOut);
  EXPECT_EQ(AVIStreamLength(edit.get()), 10);
  EXPECT_EQ(AVIStreamLength(cut.get()), 5);
  EXPECT_EQ(Sample(edit.get(), 0), Sample(video.get(), 5));
  // The copy made before the cut still reads what it copied.
  EXPECT_EQ(Sample(copy.get(), 0), Sample(video.get(), 3));

  // Pasted back in the middle: the samples follow in their new order.
  LONG pos = 2, pasted = 0;
  ASSERT_EQ(EditStreamPaste(edit.get(), &pos, &pasted, cut.get(), 0, -1), AVIERR_OK);
  EXPECT_EQ(pasted, 5);
  EXPECT_EQ(AVIStreamLength(edit.get()), 15);
  const LONG order[] = {5, 6, 0, 1, 2, 3, 4, 7, 8};
  for (LONG i = 0; i < 9; ++i) EXPECT_EQ(Sample(edit.get(), i), Sample(video.get(), order[i]));
  EXPECT_EQ(AVIStreamIsKeyFrame(edit.get(), 2), true);

  // Ranges are clamped to the stream; an empty one is refused.
  start = 12, length = 10;
  ASSERT_EQ(EditStreamCopy(edit.get(), &start, &length, &copied), AVIERR_OK);
  EXPECT_EQ(length, 3);
  AVIStreamRelease(copied);
  start = 15, length = 2;
  EXPECT_EQ(EditStreamCopy(edit.get(), &start, &length, &copied), AVIERR_BADPARAM);

  // Sound does not paste into video, and only edit streams are edited.
  pos = 0;
  EXPECT_EQ(EditStreamPaste(edit.get(), &pos, &pasted, audio.get(), 0, 100), AVIERR_UNSUPPORTED);
  start = 0, length = 2;
  EXPECT_EQ(EditStreamCopy(video.get(), &start, &length, &copied), AVIERR_UNSUPPORTED);

  // An audio range reads the same samples as the stream it came from.
  Stream sound = Editable(audio.get());
  start = 3733, length = 533;
  ASSERT_EQ(EditStreamCopy(sound.get(), &start, &length, &copied), AVIERR_OK);
  Stream stretch(copied);
  std::vector<uint8_t> ours(1066), theirs(1066);
  LONG bytes = 0;
  ASSERT_EQ(AVIStreamRead(stretch.get(), 0, 533, ours.data(), 1066, &bytes, nullptr), AVIERR_OK);
  ASSERT_EQ(AVIStreamRead(audio.get(), 3733, 533, theirs.data(), 1066, &bytes, nullptr),
            AVIERR_OK);
  EXPECT_EQ(ours, theirs);
}

TEST_F(AviFileEdit, SavedFileIsIndexedInterleavedAndReadsAsTheSource) {
  testing::TempFolder folder;
  const std::string source = Clip("mjpeg");
  File file = Open(source);
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  AVICOMPRESSOPTIONS videoOptions = CopyOptions(), audioOptions = CopyOptions();
  const std::string target = (folder / "saved.avi").string();
  std::vector<int> reported;
  static std::vector<int>* sink;
  sink = &reported;
  const auto progress = [](int percent) -> BOOL {
    sink->push_back(percent);
    return FALSE;
  };
  ASSERT_EQ(AVISaveA(target.c_str(), nullptr, progress, 2, video.get(), &videoOptions,
                     audio.get(), &audioOptions),
            AVIERR_OK);
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(reported.front(), 0);
  EXPECT_EQ(reported.back(), 100);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(FilesIn(folder.path()), 1u);

  // FFmpeg reads it whole: the same video packets, all the sound.
  EXPECT_EQ(media::avi::test::Run("ffmpeg -v error -i '" + target + "' -f null - 2>&1"),
            std::optional<std::string>(""));
  EXPECT_EQ(media::avi::test::ProbeValue(target, 0, "codec_name"), "mjpeg");
  EXPECT_EQ(media::avi::test::ProbeValue(target, 1, "codec_name"), "pcm_s16le");
  auto packets = media::avi::test::FramePackets(target);
  auto original = media::avi::test::FramePackets(source);
  const auto videoOnly = [](std::vector<media::avi::test::Packet> all) {
    std::vector<uint32_t> adlers;
    for (const auto& packet : all)
      if (packet.stream == 0) adlers.push_back(packet.adler);
    return adlers;
  };
  EXPECT_EQ(videoOnly(packets), videoOnly(original));

  // idx1 present; sound before each frame, never more than one chunk of a
  // stream in a row; avih counts the frames and their period.
  const auto bytes = testing::ReadFile(target);
  const auto ids = LegacyIndexIds(bytes);
  ASSERT_EQ(ids.size(), 30u);
  for (size_t i = 0; i < ids.size(); ++i) {
    const bool audioChunk = (ids[i] & 0xFFFF) == ('0' | '1' << 8);
    EXPECT_EQ(audioChunk, i % 2 == 0) << i;
  }
  const auto avih = MainHeaderFields(bytes);
  ASSERT_EQ(avih.size(), 10u);
  EXPECT_EQ(avih[0], 66666u);  // microseconds a frame
  EXPECT_TRUE(avih[3] & AVIFILEINFO_HASINDEX);
  EXPECT_TRUE(avih[3] & AVIFILEINFO_ISINTERLEAVED);
  EXPECT_EQ(avih[4], 15u);  // frames
  EXPECT_EQ(avih[6], 2u);   // streams
  size_t largest = 0;
  for (LONG i = 0; i < 15; ++i) largest = std::max(largest, Sample(video.get(), i).size());
  EXPECT_GE(avih[7], largest);
  EXPECT_EQ(avih[8], 64u);
  EXPECT_EQ(avih[9], 48u);

  // And the AVI file services read back what they wrote.
  File saved = Open(target);
  Stream savedAudio = GetStream(saved.get(), streamtypeAUDIO);
  EXPECT_EQ(AVIStreamLength(savedAudio.get()), 8000);
}

TEST_F(AviFileEdit, RecompressedRangeStartsWithAKeyFrameAndPastesBeforeTheRest) {
  // A range that starts between key frames is saved on its own, compressed
  // again by its own codec, and the rest pasted after it.
  testing::TempFolder folder;
  const std::string source = Clip("cinepak");
  File file = Open(source);
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream edit = Editable(video.get());
  LONG start = 7, length = 3;
  PAVISTREAM head = nullptr;
  ASSERT_EQ(EditStreamCopy(edit.get(), &start, &length, &head), AVIERR_OK);
  Stream headStream(head);
  EXPECT_FALSE(AVIStreamIsKeyFrame(headStream.get(), 0));

  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.dwKeyFrameEvery = 15;
  options.dwQuality = 10000;
  options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
  const std::string split = (folder / "split.avi").string();
  ASSERT_EQ(AVISaveA(split.c_str(), nullptr, nullptr, 1, headStream.get(), &options), AVIERR_OK);

  File splitFile = Open(split);
  Stream recompressed = GetStream(splitFile.get(), streamtypeVIDEO);
  AVISTREAMINFOA info{};
  AVIStreamInfoA(recompressed.get(), &info, sizeof info);
  EXPECT_EQ(info.fccHandler, KSV_AVI_FOURCC('c', 'v', 'i', 'd'));
  EXPECT_EQ(info.dwLength, 3u);
  EXPECT_TRUE(AVIStreamIsKeyFrame(recompressed.get(), 0));
  // Close to what it was made from.
  PGETFRAME frames = AVIStreamGetFrameOpen(recompressed.get(), nullptr);
  const auto* first = static_cast<const uint8_t*>(AVIStreamGetFrame(frames, 0));
  ASSERT_NE(first, nullptr);
  EXPECT_LT(MeanDifference(first, FfmpegFrame(source, 7, 64, 48), 64, 48), 12.0);
  AVIStreamGetFrameClose(frames);

  Stream joined = Editable(recompressed.get());
  LONG pos = 3, pasted = 0;
  ASSERT_EQ(EditStreamPaste(joined.get(), &pos, &pasted, edit.get(), 10, 5), AVIERR_OK);
  EXPECT_EQ(AVIStreamLength(joined.get()), 8);
  EXPECT_EQ(Sample(joined.get(), 3), Sample(video.get(), 10));
  AVICOMPRESSOPTIONS copy = CopyOptions();
  const std::string fixed = (folder / "fixed.avi").string();
  ASSERT_EQ(AVISaveA(fixed.c_str(), nullptr, nullptr, 1, joined.get(), &copy), AVIERR_OK);
  EXPECT_EQ(media::avi::test::ProbeValue(fixed, 0, "nb_read_packets"), "8");
  EXPECT_EQ(media::avi::test::Run("ffmpeg -v error -i '" + fixed + "' -f null - 2>&1"),
            std::optional<std::string>(""));
}

TEST_F(AviFileEdit, AudioSavedWithAnotherDescriptionOfTheSameSamples) {
  testing::TempFolder folder;
  File file = Open(Clip("mjpeg"));
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  std::vector<uint8_t> format(16);
  LONG size = 16;
  ASSERT_EQ(AVIStreamReadFormat(audio.get(), 0, format.data(), &size), AVIERR_OK);
  format.resize(28);
  format[16] = 10;  // extra bytes follow
  format[20] = 0xCE;
  AVICOMPRESSOPTIONS options = CopyOptions();
  options.lpFormat = format.data();
  options.cbFormat = 28;
  const std::string target = (folder / "sound.avi").string();
  ASSERT_EQ(AVISaveA(target.c_str(), nullptr, nullptr, 1, audio.get(), &options), AVIERR_OK);
  File saved = Open(target);
  Stream savedAudio = GetStream(saved.get(), streamtypeAUDIO);
  std::vector<uint8_t> stored(64);
  size = 64;
  ASSERT_EQ(AVIStreamReadFormat(savedAudio.get(), 0, stored.data(), &size), AVIERR_OK);
  stored.resize(size_t(size));
  EXPECT_EQ(stored, format);

  // A format that describes other samples would need a conversion.
  format[4] = 0x44;  // another rate
  EXPECT_EQ(AVISaveA((folder / "other.avi").c_str(), nullptr, nullptr, 1, audio.get(), &options),
            AVIERR_UNSUPPORTED);
  EXPECT_FALSE(fs::exists(folder / "other.avi"));
}

TEST_F(AviFileEdit, StoppedOrFailedSaveLeavesNoFileUnderItsName) {
  testing::TempFolder folder;
  File file = Open(Clip("mjpeg"));
  Stream video = GetStream(file.get(), streamtypeVIDEO);
  Stream audio = GetStream(file.get(), streamtypeAUDIO);
  AVICOMPRESSOPTIONS options = CopyOptions();
  const auto target = folder / "clip.avi";
  testing::WriteFile(target, {'o', 'l', 'd'});

  const auto stopHalfway = [](int percent) -> BOOL { return percent >= 50; };
  EXPECT_EQ(AVISaveA(target.c_str(), nullptr, stopHalfway, 2, video.get(), &options, audio.get(),
                     &options),
            AVIERR_USERABORT);
  EXPECT_EQ(testing::ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(folder.path()), 1u);

  const auto stopAtOnce = [](int) -> BOOL { return TRUE; };
  EXPECT_EQ(AVISaveA((folder / "new.avi").c_str(), nullptr, stopAtOnce, 1, video.get(), &options),
            AVIERR_USERABORT);
  EXPECT_EQ(FilesIn(folder.path()), 1u);

  EXPECT_EQ(AVISaveA((folder / "no" / "such.avi").c_str(), nullptr, nullptr, 1, video.get(),
                     &options),
            AVIERR_FILEOPEN);

  // A write that fails (here: past the file size limit) stops the save.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    const HRESULT result =
        AVISaveA(target.c_str(), nullptr, nullptr, 2, video.get(), &options, audio.get(), &options);
    _exit(result == AVIERR_FILEWRITE ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(testing::ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(folder.path()), 1u);

  EXPECT_EQ(AVISaveA(target.c_str(), nullptr, nullptr, 0, nullptr, nullptr), AVIERR_BADPARAM);
  CLSID handler{};
  EXPECT_EQ(AVISaveA(target.c_str(), &handler, nullptr, 1, video.get(), &options),
            AVIERR_UNSUPPORTED);
}

TEST_F(AviFileEdit, FileOpenedForWritingIsWrittenWhenReleased) {
  testing::TempFolder folder;
  File source = Open(Clip("mjpeg"));
  Stream video = GetStream(source.get(), streamtypeVIDEO);
  const std::string target = (folder / "written.avi").string();
  PAVIFILE written = nullptr;
  ASSERT_EQ(AVIFileOpenA(&written, target.c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info{};
  AVIStreamInfoA(video.get(), &info, sizeof info);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(written, &stream, &info), AVIERR_OK);
  std::vector<uint8_t> format(40);
  LONG size = 40;
  AVIStreamReadFormat(video.get(), 0, format.data(), &size);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, format.data(), 4, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_BADFORMAT);  // no format yet
  ASSERT_EQ(AVIStreamSetFormat(stream, 0, format.data(), size), AVIERR_OK);
  for (LONG i = 0; i < 5; ++i) {
    auto sample = Sample(video.get(), i);
    ASSERT_EQ(AVIStreamWrite(stream, i, 1, sample.data(), LONG(sample.size()), AVIIF_KEYFRAME,
                             nullptr, nullptr),
              AVIERR_OK);
  }
  EXPECT_EQ(AVIStreamWrite(stream, 9, 1, format.data(), 4, 0, nullptr, nullptr), AVIERR_BADPARAM);
  EXPECT_EQ(AVIStreamWrite(video.get(), 15, 1, format.data(), 4, 0, nullptr, nullptr),
            AVIERR_READONLY);
  AVIStreamRelease(stream);
  EXPECT_FALSE(fs::exists(target));
  AVIFileRelease(written);

  File reopened = Open(target);
  Stream back = GetStream(reopened.get(), streamtypeVIDEO);
  ASSERT_EQ(AVIStreamLength(back.get()), 5);
  for (LONG i = 0; i < 5; ++i) EXPECT_EQ(Sample(back.get(), i), Sample(video.get(), i));
}

}  // namespace
}  // namespace ksv::avifile::test
