// What a graph wrote, for the summary line a subcommand ends with: the
// AVI or WAV file read back (which also tells a run that wrote nothing
// usable from one that worked). Each throws CommandFailure when the file is
// missing or does not read.
#pragma once

#include <filesystem>
#include <string>

namespace ksv::ksvcam {

struct AviSummary {
  size_t frames = 0;   // video frames with data
  size_t dropped = 0;  // empty video chunks: frames a capture dropped, kept for timing
  uint32_t width = 0;
  uint32_t height = 0;
  double framesPerSecond = 0;
  bool sound = false;
  // "40 frames of 320x240 'MJPG' at 25 fps (1.680 s, 2 dropped), sound 22050 Hz mono PCM"
  std::string text;
};
AviSummary SummariseAvi(const std::filesystem::path& file);

// "2.000 s of sound, 22050 Hz mono PCM": the length to the millisecond.
std::string SummariseWav(const std::filesystem::path& file);

}  // namespace ksv::ksvcam
