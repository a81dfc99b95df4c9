// YUV4MPEG2 streams of planar pictures (C420jpeg: full-range 4:2:0 with
// centred chroma, as the camera's pictures are), which ffplay, mpv and
// ffmpeg open. The header says the range (XCOLORRANGE=FULL): without it
// players take the samples as limited range and crush blacks and whites.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "support/picture/whole_file.h"

namespace ksv::picture {

struct FrameRate {
  uint64_t numerator = 30;
  uint64_t denominator = 1;
};

// The rate of frames `interval` 100-ns units apart: a whole number when it
// is one to within 0.1 % (30:1 for 333333), else the exact fraction; 30:1
// for 0 (unpaced).
FrameRate FrameRateOfInterval(uint64_t interval);

// What comes before each frame's samples.
inline constexpr uint8_t kY4mFrameMarker[] = {'F', 'R', 'A', 'M', 'E', '\n'};

// "YUV4MPEG2 W320 H240 F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n".
std::string Y4mHeader(uint32_t width, uint32_t height, FrameRate rate);

// The stream, written through an AtomicFile: nothing is under the final
// name until Commit(). Throws PictureError for an odd or empty size and
// FileError when the file cannot be written.
class Y4mWriter {
 public:
  Y4mWriter(const std::filesystem::path& path, uint32_t width, uint32_t height, FrameRate rate,
            ExistingFile existing = ExistingFile::kReplace);

  // One planar frame: exactly width * height * 3 / 2 samples, else
  // PictureError.
  void WriteFrame(std::span<const uint8_t> samples);
  void Commit() { file_.Commit(); }

  uint64_t frames() const { return frames_; }

 private:
  AtomicFile file_;
  size_t frameBytes_;
  uint64_t frames_ = 0;
};

}  // namespace ksv::picture
