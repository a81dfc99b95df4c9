#include "bench/large_avi.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"
#include "support/byte_order.h"

namespace ksv::bench {
namespace {

namespace avi = media::avi;

constexpr size_t kFrameBytes = 100'000;    // about what a Motion JPEG frame weighs
constexpr uint32_t kAudioPerFrame = 5880;  // 44,100 Hz stereo 16-bit over 1/30 s

std::vector<uint8_t> Format(std::initializer_list<uint32_t> fields32, size_t size) {
  std::vector<uint8_t> out;
  for (uint32_t field : fields32) support::AppendLe32(out, field);
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

}  // namespace

void WriteLargeAvi(const std::string& path, int width, int height) {
  avi::FileByteSink sink(path);
  avi::Writer writer(sink);
  avi::StreamHeader video;
  video.type = avi::kStreamVideo;
  video.handler = avi::Fourcc("MJPG");
  video.scale = 1;
  video.rate = 30;
  const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  // BITMAPINFOHEADER: size 40, width x height, 1 plane and 24 bits, MJPG.
  std::vector<uint8_t> bitmap =
      Format({40, w, h, 1 | 24u << 16, avi::Fourcc("MJPG"), w * h * 3}, 40);
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
  main.width = w;
  main.height = h;
  if (!writer.Begin(main)) throw std::runtime_error("cannot write " + path);
  const std::vector<uint8_t> picture = SmallPicture();
  std::vector<uint8_t> frame, sound(kAudioPerFrame);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < kLargeAviFrames; ++i) {
    MakeFrame(frame, picture, state);
    for (size_t at = 0; at < sound.size(); ++at) sound[at] = uint8_t(at * 3 + i);
    if (!writer.WriteChunk(videoStream, frame.data(), frame.size(), true) ||
        !writer.WriteChunk(audioStream, sound.data(), sound.size(), true)) {
      throw std::runtime_error("cannot write " + path);
    }
  }
  if (!writer.Finish()) throw std::runtime_error("cannot finish " + path);
}

void WarmPageCache(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot read " + path);
  std::vector<char> buffer(1 << 20);
  while (std::fread(buffer.data(), 1, buffer.size(), file) > 0) {
  }
  std::fclose(file);
}

std::pair<size_t, uint64_t> AviContents(const std::string& path) {
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

bool FfmpegCopy(const std::string& in, const std::string& out) {
  const std::string command = "ffmpeg -v error -y -i '" + in + "' -map 0 -c copy '" + out + "'";
  return std::system(command.c_str()) == 0;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace ksv::bench
