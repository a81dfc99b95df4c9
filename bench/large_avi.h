// The large AVI the file benchmarks work on: 70 s of Motion-JPEG-sized
// video chunks (random bytes in comment segments around a small real JPEG
// picture, so a decoder still finds a picture) at 30 frames a second, and
// 44,100 Hz 16-bit stereo PCM, every chunk a key frame, written with our AVI
// writer. Over 200 MB, so that reading and writing dominate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ksv::bench {

inline constexpr int kLargeAviFrames = 2100;

// Writes it to `path`, the video format saying `width` x `height` (the
// picture inside each frame is 64 x 48). Throws std::runtime_error.
void WriteLargeAvi(const std::string& path, int width, int height);

// Reads the whole file once, so that what is timed next finds it in the
// page cache. Throws std::runtime_error.
void WarmPageCache(const std::string& path);

// The video chunks and audio bytes of an AVI file, to check an output is
// whole.
std::pair<size_t, uint64_t> AviContents(const std::string& path);

// `ffmpeg -map 0 -c copy` of `in` into `out`; false when it failed.
bool FfmpegCopy(const std::string& in, const std::string& out);

double Median(std::vector<double> times);

}  // namespace ksv::bench
