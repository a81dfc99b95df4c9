// libjpeg's own command-line decoder as the oracle of JPEG files: what it
// says of a file is what every libjpeg-based program will say.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ksv::testing {

struct DjpegRun {
  int status = -1;            // djpeg's exit status: 0 clean, 2 with warnings, 1 failed
  std::string messages;       // what it wrote to stderr (warnings such as "extraneous bytes")
  std::vector<uint8_t> pixels;  // the decoded picture as a binary PPM
};

// Decodes `jpeg` with `djpeg -ppm`. Throws std::runtime_error when djpeg
// cannot be run.
DjpegRun RunDjpeg(const std::filesystem::path& jpeg);

}  // namespace ksv::testing
