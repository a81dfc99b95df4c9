#include "avifix/tests/fix_test_support.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "testing/temp_files.h"

namespace ksv::avifix::testing {
namespace avi = media::avi;
namespace test = media::avi::test;

namespace {

constexpr int kWidth = 32, kHeight = 24;
constexpr uint32_t kAudioRate = 8000;

std::vector<uint8_t> VideoFormat(Video video) {
  switch (video) {
    case Video::kMjpeg: return test::BitmapInfo(kWidth, kHeight, avi::Fourcc("MJPG"));
    case Video::kRgb: return test::BitmapInfo(kWidth, kHeight, 0);
    case Video::kI420: {
      std::vector<uint8_t> format = test::BitmapInfo(kWidth, kHeight, avi::Fourcc("I420"));
      format[14] = 12;  // bits a pixel
      const uint32_t image = kWidth * kHeight * 3 / 2;
      for (int i = 0; i < 4; ++i) format[20 + i] = uint8_t(image >> (8 * i));
      return format;
    }
  }
  return {};
}

uint32_t Handler(Video video) {
  switch (video) {
    case Video::kMjpeg: return avi::Fourcc("MJPG");
    case Video::kRgb: return avi::Fourcc("DIB ");
    case Video::kI420: return avi::Fourcc("I420");
  }
  return 0;
}

std::vector<uint8_t> Frame(Video video, int n) {
  return video == Video::kMjpeg ? test::JpegFrame(kWidth, kHeight, n) : RawFrame(video, n);
}

// 16-bit samples of a rising tone: sample i of the clip.
void AppendSample(std::vector<uint8_t>& bytes, int64_t i) {
  const auto value = int16_t(std::lround(9000 * std::sin(double(i) * double(i) * 1e-5)));
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(uint16_t(value) >> 8));
}

}  // namespace

std::vector<uint8_t> RawFrame(Video video, int n) {
  const size_t size = video == Video::kI420 ? kWidth * kHeight * 3 / 2 : kWidth * kHeight * 3;
  std::vector<uint8_t> frame(size);
  for (size_t i = 0; i < size; ++i) frame[i] = uint8_t(i * 7 + size_t(n) * 31);
  return frame;
}

void WriteClip(const std::filesystem::path& path, const ClipSpec& spec) {
  avi::FileByteSink sink(path.string());
  avi::WriterOptions options;
  options.legacyIndex = spec.legacyIndex;
  avi::Writer writer(sink, options);
  const uint32_t video = writer.AddStream(test::VideoHeader(Handler(spec.video), spec.fps),
                                          VideoFormat(spec.video));
  uint32_t audio = 0;
  std::vector<uint8_t> wave = test::PcmFormat(1, kAudioRate);
  if (spec.audio == Audio::kTag0400) wave[0] = 0x00, wave[1] = 0x04;
  avi::StreamHeader audioHeader = test::AudioHeader(test::PcmFormat(1, kAudioRate));
  if (spec.audio != Audio::kNone) audio = writer.AddStream(audioHeader, wave);
  avi::MainHeader main;
  main.microSecPerFrame = 1000000 / spec.fps;
  main.width = kWidth;
  main.height = kHeight;
  if (!writer.Begin(main)) throw std::runtime_error("cannot write " + path.string());

  const double seconds = spec.audioSeconds >= 0 ? spec.audioSeconds : double(spec.frames) / spec.fps;
  const int64_t samples = std::llround(seconds * kAudioRate);
  const int64_t perFrame = kAudioRate / spec.fps;
  int64_t written = 0;
  auto writeSound = [&](int64_t upTo) {
    std::vector<uint8_t> bytes;
    for (; written < std::min(upTo, samples); ++written) AppendSample(bytes, written);
    if (!bytes.empty()) writer.WriteChunk(audio, bytes.data(), bytes.size(), true);
  };
  for (int n = 0; n < spec.frames; ++n) {
    const bool key = spec.keyFrames.empty() || spec.keyFrames[size_t(n)];
    const std::vector<uint8_t> frame = Frame(spec.video, n);
    writer.WriteChunk(video, frame.data(), frame.size(), key);
    if (spec.audio != Audio::kNone && spec.interleaved) writeSound((n + 1) * perFrame);
  }
  if (spec.audio != Audio::kNone) {
    while (written < samples) writeSound(written + perFrame);
  }
  if (!writer.Finish()) throw std::runtime_error("cannot finish " + path.string());
}

Contents ReadContents(const std::filesystem::path& path) {
  Contents contents;
  avi::FileByteSource source(path.string());
  contents.file = avi::ReadAvi(source);
  for (const avi::Stream& stream : contents.file.streams) {
    for (const avi::IndexEntry& entry : stream.index) {
      std::vector<uint8_t> data(entry.size);
      if (entry.size != 0 && !source.ReadAt(entry.offset, data.data(), data.size())) {
        throw std::runtime_error("chunk past the end of " + path.string());
      }
      if (stream.IsVideo()) contents.videoChunks.push_back(std::move(data));
      if (stream.IsAudio()) contents.audioBytes.insert(contents.audioBytes.end(), data.begin(), data.end());
    }
    if (stream.IsVideo() && contents.videoFormat.empty()) contents.videoFormat = stream.format;
    if (stream.IsAudio() && contents.audioFormat.empty()) contents.audioFormat = stream.format;
  }
  const std::vector<uint8_t> bytes = FileBytes(path);
  const uint8_t idx1[] = {'i', 'd', 'x', '1'};
  contents.hasIdx1 = std::search(bytes.begin(), bytes.end(), idx1, idx1 + 4) != bytes.end();
  return contents;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  return ksv::testing::ReadFile(path);
}

bool HaveFfmpeg() {
  static const bool have = test::HaveFfmpeg();
  return have;
}

std::vector<std::string> FolderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string CheckPlayable(const std::filesystem::path& path, bool probe) {
  std::ostringstream problems;
  const Contents contents = ReadContents(path);
  const avi::Stream* video = nullptr;
  const avi::Stream* audio = nullptr;
  for (const avi::Stream& stream : contents.file.streams) {
    if (stream.IsVideo() && video == nullptr) video = &stream;
    if (stream.IsAudio() && audio == nullptr) audio = &stream;
  }
  if (video == nullptr) return "no video stream";
  if (!contents.hasIdx1) problems << "no idx1; ";
  const avi::MainHeader& main = contents.file.main;
  if (main.totalFrames != video->index.size()) {
    problems << "avih counts " << main.totalFrames << " frames of " << video->index.size() << "; ";
  }
  const double period = 1e6 * video->header.scale / video->header.rate;
  if (std::abs(double(main.microSecPerFrame) - period) > 1) {
    problems << "avih frame period " << main.microSecPerFrame << " us, stream " << period << "; ";
  }
  uint32_t largest = 0;
  for (const avi::Stream& stream : contents.file.streams) {
    for (const avi::IndexEntry& entry : stream.index) largest = std::max(largest, entry.size);
  }
  if (main.suggestedBufferSize < largest) {
    problems << "avih buffer size " << main.suggestedBufferSize << " below a chunk of " << largest
             << "; ";
  }
  if (audio != nullptr && !audio->index.empty()) {
    // Along the file, the sound before each frame is never far from it.
    const std::vector<uint64_t> firstSamples = avi::FirstSamples(*audio);
    for (size_t n = 0; n < video->index.size(); ++n) {
      size_t before = 0;
      while (before < audio->index.size() && audio->index[before].offset < video->index[n].offset) {
        ++before;
      }
      const uint64_t sample =
          before < firstSamples.size() ? firstSamples[before] : audio->header.start + audio->header.length;
      const double soundTime = double(avi::SampleTime(audio->header, sample)) / 1e7;
      const double frameTime = double(n) * video->header.scale / video->header.rate;
      if (std::abs(soundTime - frameTime) > 0.5) {
        problems << "frame " << n << " at " << frameTime << " s lies by sound of " << soundTime
                 << " s; ";
        break;
      }
    }
  }
  if (probe && HaveFfmpeg() &&
      !test::Run("ffprobe -v error -show_streams '" + path.string() + "' >/dev/null")) {
    problems << "ffprobe cannot read it; ";
  }
  return problems.str();
}

}  // namespace ksv::avifix::testing
