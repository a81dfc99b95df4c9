#include "apps/ksvcam/tests/test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "apps/ksvcam/command_line.h"
#include "support/test_data.h"

namespace ksv::ksvcam::testing {

namespace fs = std::filesystem;

CommandRun RunKsvcam(std::vector<std::string> args) {
  // Commands that load the driver write the machine registry; unless a test
  // chose a system root, they share one of the test binary's own.
  static const TempFolder systemRoot;
  ::setenv("KSV_ROOT", systemRoot.path().c_str(), 0);
  args.insert(args.begin(), "ksvcam");
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  CommandRun run;
  run.status = RunCommandLine(args, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

simcam::RgbPicture DecodePng(const std::vector<uint8_t>& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    throw std::runtime_error(std::string("not a PNG: ") + image.message);
  }
  image.format = PNG_FORMAT_RGB;
  simcam::RgbPicture picture{image.width, image.height,
                             std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    throw std::runtime_error(std::string("bad PNG: ") + image.message);
  }
  return picture;
}

namespace {
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
         uint32_t{b.at(at + 3)} << 24;
}
}  // namespace

simcam::RgbPicture DecodeBmp(const std::vector<uint8_t>& file) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') throw std::runtime_error("not a BMP");
  const uint32_t offset = Le32(file, 10);
  const uint32_t width = Le32(file, 18);
  const uint32_t height = Le32(file, 22);
  const size_t rowBytes = (size_t{width} * 3 + 3) & ~size_t{3};
  simcam::RgbPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  for (uint32_t y = 0; y < height; ++y) {
    const size_t row = offset + (height - 1 - y) * rowBytes;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* to = &picture.pixels[(size_t{y} * width + x) * 3];
      to[0] = file.at(row + x * 3 + 2);
      to[1] = file.at(row + x * 3 + 1);
      to[2] = file.at(row + x * 3);
    }
  }
  return picture;
}

simcam::RgbPicture GradientPicture(uint32_t width, uint32_t height) {
  simcam::RgbPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = &picture.pixels[(size_t{y} * width + x) * 3];
      pixel[0] = static_cast<uint8_t>(40 + 180 * x / width);
      pixel[1] = static_cast<uint8_t>(100 + 60 * (x + y) / (width + height));
      pixel[2] = static_cast<uint8_t>(220 - 180 * y / height);
    }
  }
  return picture;
}

fs::path TestDataDir() { return support::TestDataDir(); }

}  // namespace ksv::ksvcam::testing
