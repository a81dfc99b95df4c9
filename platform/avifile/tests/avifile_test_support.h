// What the AVIFile tests share: small clips made by FFmpeg, handles that
// release themselves, and FFmpeg's view of a clip.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "testing/temp_files.h"

namespace ksv::avifile::test {

struct FileRelease {
  void operator()(IAVIFile* file) const { AVIFileRelease(file); }
};
struct StreamRelease {
  void operator()(IAVIStream* stream) const { AVIStreamRelease(stream); }
};
using File = std::unique_ptr<IAVIFile, FileRelease>;
using Stream = std::unique_ptr<IAVIStream, StreamRelease>;

// A second of 64 x 48 video at 15 frames a second: Motion JPEG with 8 kHz
// 16-bit mono PCM ("mjpeg"), or Cinepak alone with a key frame every 5
// frames ("cinepak"). Made once per process into a folder of its own.
std::string Clip(const std::string& kind);

File Open(const std::string& path);          // fails the test when it cannot
Stream GetStream(IAVIFile* file, DWORD type);  // the first of `type`

// The bytes of sample `pos` (one chunk) of a chunked stream.
std::vector<uint8_t> Sample(IAVIStream* stream, LONG pos);

// FFmpeg's decode of frame `n` of the clip's video as 24-bit BGR rows,
// top-down; empty when FFmpeg fails.
std::vector<uint8_t> FfmpegFrame(const std::string& path, int n, int width, int height);

// The mean absolute difference between a packed 24-bit DIB's pixels
// (bottom-up) and top-down BGR rows of the same size.
double MeanDifference(const uint8_t* dib, const std::vector<uint8_t>& topDown, int width,
                      int height);

// The chunk ids of a file's idx1 in order, and its avih fields (as 32-bit
// values, in file order); empty when there is none.
std::vector<uint32_t> LegacyIndexIds(const std::vector<uint8_t>& file);
std::vector<uint32_t> MainHeaderFields(const std::vector<uint8_t>& file);

// Where `tag` first occurs in `bytes` (npos when nowhere).
size_t Find(const std::vector<uint8_t>& bytes, const char (&tag)[5], size_t from = 0);

}  // namespace ksv::avifile::test
