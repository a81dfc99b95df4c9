// Fixing a large AVI file in place with ClipMend, against `ffmpeg -c copy`
// of the same file in the same run. The input (over 200 MB: Motion-JPEG-
// sized video chunks of random bytes at 30 frames a second, and 16-bit
// stereo PCM, all key frames) is written first with our AVI writer and read
// once, so both read it from the page cache. Each round fixes a fresh copy
// of it in place (the copy is made and cached before the clock starts);
// the in-place fix writes the new file to disk before it replaces the old
// one (fsync), which ffmpeg does not, so the copy export (no fsync) is
// timed as well. Reports seconds, MB/s and the ratio of our time to
// ffmpeg's; each figure is the median of three rounds.
#include <stdlib.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "include/clipmend.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"

namespace {

namespace avi = ksv::media::avi;

constexpr int kFrames = 2100;             // 70 s at 30 fps
constexpr size_t kFrameBytes = 100'000;   // about what a Motion JPEG frame weighs
constexpr uint32_t kAudioPerFrame = 5880;  // 44,100 Hz stereo 16-bit over 1/30 s

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "avi_fix_bench: %s\n", why.c_str());
  std::exit(1);
}

std::vector<uint8_t> Format(std::initializer_list<uint32_t> fields32, size_t size) {
  std::vector<uint8_t> out;
  for (uint32_t field : fields32) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(field >> (8 * i)));
  }
  out.resize(size);
  return out;
}

// A 64 x 48 JPEG picture without its start marker.
std::vector<uint8_t> SmallPicture() {
  std::vector<uint8_t> rgb(64 * 48 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 5);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(handle, rgb.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_420, 80, 0);
  std::vector<uint8_t> picture(jpeg + 2, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return picture;
}

// One frame of kFrameBytes: the start marker, comment segments of random
// bytes, then the picture.
void MakeFrame(std::vector<uint8_t>& frame, const std::vector<uint8_t>& picture,
               uint64_t& state) {
  frame.assign({0xFF, 0xD8});
  while (frame.size() + picture.size() < kFrameBytes) {
    const size_t room = kFrameBytes - picture.size() - frame.size();
    if (room < 5) break;
    const size_t payload = std::min<size_t>(room - 4, 65533);
    frame.insert(frame.end(), {0xFF, 0xFE, uint8_t((payload + 2) >> 8), uint8_t(payload + 2)});
    for (size_t i = 0; i < payload; ++i) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      frame.push_back(uint8_t(state) == 0xFF ? 0xFE : uint8_t(state));  // no markers inside
    }
  }
  frame.insert(frame.end(), picture.begin(), picture.end());
}

void WriteInput(const std::string& path) {
  avi::FileByteSink sink(path);
  avi::Writer writer(sink);
  avi::StreamHeader video;
  video.type = avi::kStreamVideo;
  video.handler = avi::Fourcc("MJPG");
  video.scale = 1;
  video.rate = 30;
  // BITMAPINFOHEADER: size 40, 64 x 48 (the picture's size: the fix
  // decodes the first frame), 1 plane and 24 bits, MJPG.
  std::vector<uint8_t> bitmap = Format({40, 64, 48, 1 | 24u << 16, avi::Fourcc("MJPG"),
                                        64 * 48 * 3},
                                       40);
  avi::StreamHeader audio;
  audio.type = avi::kStreamAudio;
  audio.scale = 4;
  audio.rate = 176400;
  audio.sampleSize = 4;
  // PCMWAVEFORMAT: tag 1, 2 channels, 44,100 Hz, 176,400 B/s, align 4, 16 bits.
  std::vector<uint8_t> wave = Format({1 | 2u << 16, 44100, 176400, 4 | 16u << 16}, 16);
  const uint32_t videoStream = writer.AddStream(video, bitmap);
  const uint32_t audioStream = writer.AddStream(audio, wave);
  avi::MainHeader main;
  main.microSecPerFrame = 33333;
  main.width = 64;
  main.height = 48;
  if (!writer.Begin(main)) Fail("cannot write " + path);
  const std::vector<uint8_t> picture = SmallPicture();
  std::vector<uint8_t> frame, sound(kAudioPerFrame);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < kFrames; ++i) {
    MakeFrame(frame, picture, state);
    for (size_t at = 0; at < sound.size(); ++at) sound[at] = uint8_t(at * 3 + i);
    if (!writer.WriteChunk(videoStream, frame.data(), frame.size(), true) ||
        !writer.WriteChunk(audioStream, sound.data(), sound.size(), true)) {
      Fail("cannot write " + path);
    }
  }
  if (!writer.Finish()) Fail("cannot finish " + path);
}

// Reads the whole file, so both runs find it in the page cache.
void Warm(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) Fail("cannot read " + path);
  std::vector<char> buffer(1 << 20);
  while (std::fread(buffer.data(), 1, buffer.size(), file) > 0) {
  }
  std::fclose(file);
}

// No earlier output, and nothing left for the kernel to write back.
void Settle(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) std::filesystem::remove(path);
  sync();
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

template <class Work>
double Timed(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunFfmpeg(const std::string& in, const std::string& out) {
  const std::string command = "ffmpeg -v error -y -i '" + in + "' -map 0 -c copy '" + out + "'";
  if (std::system(command.c_str()) != 0) Fail("ffmpeg failed");
}

void Fix(FixResult result, const char* what) {
  if (result != FIXAVI_OK) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    Fail(std::string(what) + " failed with " + code);
  }
}

// The video chunks and audio bytes of a file, to check the output is whole.
std::pair<size_t, uint64_t> Contents(const std::string& path) {
  avi::FileByteSource source(path);
  const avi::File file = avi::ReadAvi(source);
  size_t frames = 0;
  uint64_t audio = 0;
  for (const avi::Stream& stream : file.streams) {
    for (const avi::IndexEntry& entry : stream.index) {
      if (stream.IsVideo()) ++frames;
      if (stream.IsAudio()) audio += entry.size;
    }
  }
  return {frames, audio};
}

}  // namespace

int main() {
  char folder[] = "/tmp/ksv-fix-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string root = folder;
  const std::string in = root + "/in.avi", work = root + "/work.avi";
  const std::string copy = root + "/ffmpeg.avi", out = root + "/ours.avi";
  WriteInput(in);
  const double megabytes = static_cast<double>(std::filesystem::file_size(in)) / 1e6;
  const auto expected = Contents(in);
  Warm(in);
  std::printf("input: %.1f MB, %zu video frames, %llu audio bytes\n", megabytes, expected.first,
              static_cast<unsigned long long>(expected.second));

  std::vector<double> ffmpegTimes, inPlaceTimes, copyTimes;
  bool whole = true;
  for (int round = 0; round < 3; ++round) {
    Settle({copy, out, work});
    ffmpegTimes.push_back(Timed([&] { RunFfmpeg(in, copy); }));
    if (Contents(copy) != expected) Fail("ffmpeg's copy does not hold what the input does");

    Settle({copy, out, work});
    std::filesystem::copy_file(in, work);
    Warm(work);
    sync();
    inPlaceTimes.push_back(Timed([&] { Fix(FixAVIForMCIControl(work.c_str(), nullptr), "in-place fix"); }));
    whole = whole && Contents(work) == expected;

    Settle({copy, out, work});
    copyTimes.push_back(Timed([&] {
      Fix(FixAVICopyForMCIControl(in.c_str(), out.c_str(), nullptr), "copy fix");
    }));
    whole = whole && Contents(out) == expected;
  }
  Settle({copy, out, work});
  const double ffmpeg = Median(ffmpegTimes);
  const double inPlace = Median(inPlaceTimes);
  const double copied = Median(copyTimes);
  std::printf("ffmpeg -c copy: %.3f s, %.1f MB/s\n", ffmpeg, megabytes / ffmpeg);
  std::printf("avi-fix in place (fsync before the swap): %.3f s, %.1f MB/s, ours/ffmpeg %.2f\n",
              inPlace, megabytes / inPlace, inPlace / ffmpeg);
  std::printf("avi-fix to a copy: %.3f s, %.1f MB/s, ours/ffmpeg %.2f\n", copied,
              megabytes / copied, copied / ffmpeg);
  if (!whole) std::fprintf(stderr, "avi_fix_bench: a fixed file lost frames or sound\n");
  std::filesystem::remove_all(root);
  return whole ? 0 : 1;
}
