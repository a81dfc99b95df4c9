#include "platform/media/avi/tests/avi_test_support.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "support/byte_order.h"
#include "support/picture/jpeg_file.h"

namespace ksv::media::avi::test {

using support::AppendLe16;
using support::AppendLe32;

bool MemorySink::WriteAt(uint64_t offset, const ByteRange* pieces, size_t count) {
  if (writesBeforeFailure >= 0 && writes >= writesBeforeFailure) return false;
  ++writes;
  for (size_t i = 0; i < count; ++i) {
    if (bytes.size() < offset + pieces[i].size) bytes.resize(offset + pieces[i].size);
    if (pieces[i].size != 0) std::memcpy(bytes.data() + offset, pieces[i].data, pieces[i].size);
    offset += pieces[i].size;
  }
  return true;
}

std::vector<uint8_t> BitmapInfo(int32_t width, int32_t height, uint32_t compression) {
  std::vector<uint8_t> bytes;
  AppendLe32(bytes, 40);
  AppendLe32(bytes, static_cast<uint32_t>(width));
  AppendLe32(bytes, static_cast<uint32_t>(height));
  AppendLe16(bytes, 1);
  AppendLe16(bytes, 24);
  AppendLe32(bytes, compression);
  AppendLe32(bytes, static_cast<uint32_t>(width * height * 3));
  for (int i = 0; i < 4; ++i) AppendLe32(bytes, 0);
  return bytes;
}

std::vector<uint8_t> PcmFormat(uint16_t channels, uint32_t rate) {
  std::vector<uint8_t> bytes;
  AppendLe16(bytes, 1);
  AppendLe16(bytes, channels);
  AppendLe32(bytes, rate);
  AppendLe32(bytes, rate * channels * 2);
  AppendLe16(bytes, static_cast<uint16_t>(channels * 2));
  AppendLe16(bytes, 16);
  AppendLe16(bytes, 0);
  return bytes;
}

std::vector<uint8_t> ImaAdpcmFormat(uint16_t channels, uint32_t rate) {
  constexpr uint16_t kBlock = 256;
  const uint16_t samplesPerBlock =
      static_cast<uint16_t>((kBlock - 4 * channels) * 8 / (4 * channels) + 1);
  std::vector<uint8_t> bytes;
  AppendLe16(bytes, 0x11);
  AppendLe16(bytes, channels);
  AppendLe32(bytes, rate);
  AppendLe32(bytes, rate * kBlock / samplesPerBlock);
  AppendLe16(bytes, kBlock);
  AppendLe16(bytes, 4);
  AppendLe16(bytes, 2);
  AppendLe16(bytes, samplesPerBlock);
  return bytes;
}

StreamHeader VideoHeader(uint32_t handler, uint32_t fps) {
  StreamHeader header;
  header.type = kStreamVideo;
  header.handler = handler;
  header.scale = 1;
  header.rate = fps;
  return header;
}

StreamHeader AudioHeader(const std::vector<uint8_t>& waveFormat) {
  StreamHeader header;
  header.type = kStreamAudio;
  const uint16_t blockAlign = support::LoadLe16(waveFormat, 12);
  const uint32_t rate = support::LoadLe32(waveFormat, 4);
  header.sampleSize = blockAlign;
  if (support::LoadLe16(waveFormat, 0) == 1) {
    header.scale = blockAlign;
    header.rate = rate * blockAlign;
  } else {
    // A block is a sample of the stream: rate / scale blocks a second.
    header.scale = support::LoadLe16(waveFormat, 18);  // samples per block
    header.rate = rate;
  }
  return header;
}

std::vector<uint8_t> JpegFrame(uint32_t width, uint32_t height, int n) {
  picture::RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(size_t{width} * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = &picture.pixels[(size_t{y} * width + x) * 3];
      pixel[0] = static_cast<uint8_t>(x * 255 / width);
      pixel[1] = static_cast<uint8_t>(y * 255 / height);
      pixel[2] = static_cast<uint8_t>(((x + static_cast<uint32_t>(n) * 7) / 8 % 2) * 200);
    }
  }
  return picture::EncodeJpeg(picture, 80);
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t start) {
  uint32_t a = start & 0xFFFF, b = start >> 16;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

bool HaveFfmpeg() {
  return std::system("ffmpeg -version >/dev/null 2>&1") == 0 &&
         std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

std::optional<std::string> Run(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  if (::pclose(pipe) != 0) return std::nullopt;
  return output;
}

std::vector<Packet> FramePackets(const std::string& path) {
  const auto output = Run("ffmpeg -v error -i '" + path + "' -map 0 -c copy -f framecrc -");
  std::vector<Packet> packets;
  if (!output) return packets;
  std::istringstream lines(*output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    int stream = 0;
    long long dts = 0, pts = 0, duration = 0;
    unsigned size = 0, adler = 0;
    if (std::sscanf(line.c_str(), "%d, %lld, %lld, %lld, %u, 0x%x", &stream, &dts, &pts, &duration,
                    &size, &adler) == 6) {
      packets.push_back({stream, size, adler});
    }
  }
  return packets;
}

std::optional<std::string> ProbeValue(const std::string& path, int stream, const std::string& key) {
  const auto output =
      Run("ffprobe -v error -count_packets -select_streams " + std::to_string(stream) +
          " -show_entries stream=" + key + " -of default=nw=1:nk=1 '" + path + "'");
  if (!output) return std::nullopt;
  std::string value = *output;
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

}  // namespace ksv::media::avi::test
