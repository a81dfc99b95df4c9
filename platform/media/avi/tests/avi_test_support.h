// What the AVI and WAV tests share: files in memory, formats to write, and
// FFmpeg as an outside oracle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::media::avi::test {

// Grows as written; can be told to fail from a given write on.
class MemorySink final : public ByteSink {
 public:
  bool WriteAt(uint64_t offset, const ByteRange* pieces, size_t count) override;
  std::vector<uint8_t> bytes;
  int writesBeforeFailure = -1;  // -1: never fails
  int writes = 0;
};

// BITMAPINFOHEADER of a picture; compression 0 is BI_RGB (24-bit).
std::vector<uint8_t> BitmapInfo(int32_t width, int32_t height, uint32_t compression);
std::vector<uint8_t> PcmFormat(uint16_t channels, uint32_t rate);
// IMA ADPCM: 4 bits a sample, 256-byte blocks, cbSize 2 with the samples a block holds.
std::vector<uint8_t> ImaAdpcmFormat(uint16_t channels, uint32_t rate);

StreamHeader VideoHeader(uint32_t handler, uint32_t fps);
StreamHeader AudioHeader(const std::vector<uint8_t>& waveFormat);

// A JPEG picture of a moving pattern: frame `n` differs from the others.
std::vector<uint8_t> JpegFrame(uint32_t width, uint32_t height, int n);

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t start = 1);

// FFmpeg's command-line tools, when installed.
bool HaveFfmpeg();
// Runs a shell command; its standard output, or nothing when it fails.
std::optional<std::string> Run(const std::string& command);

// One packet as `ffmpeg -f framecrc` lists it.
struct Packet {
  int stream;
  uint32_t size;
  uint32_t adler;
};
std::vector<Packet> FramePackets(const std::string& path);
// `key=value` of `ffprobe -show_entries stream=...` for one stream.
std::optional<std::string> ProbeValue(const std::string& path, int stream, const std::string& key);

}  // namespace ksv::media::avi::test
