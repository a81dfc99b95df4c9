// Helpers shared by the ksvcam tests: a fresh folder per test, running the
// command line in-process, and file and picture reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "simcam/picture.h"
#include "testing/temp_files.h"

namespace ksv::ksvcam::testing {

using ::ksv::testing::TempFolder;

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `ksvcam ARGS...` in-process with stderr not a terminal.
CommandRun RunKsvcam(std::vector<std::string> args);

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  return ::ksv::testing::ReadFile(path);
}
inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  ::ksv::testing::WriteFile(path, bytes);
}

// Decodes a PNG with libpng into top-down R, G, B.
simcam::RgbPicture DecodePng(const std::vector<uint8_t>& file);

// The pixels of a 24-bit bottom-up BMP file as top-down R, G, B, read by
// the BMP rules (offset and row padding from the header).
simcam::RgbPicture DecodeBmp(const std::vector<uint8_t>& file);

// A smooth picture whose colours change differently along x and y, so a
// flipped, mirrored or channel-swapped copy is far from it.
simcam::RgbPicture GradientPicture(uint32_t width, uint32_t height);

// The shared test frames and photographs.
std::filesystem::path TestDataDir();

}  // namespace ksv::ksvcam::testing
