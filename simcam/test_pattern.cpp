#include "simcam/test_pattern.h"

#include <array>
#include <stdexcept>

namespace ksv::simcam {
namespace {

// Seven 75 % colour bars, as on a test card.
constexpr std::array<std::array<uint8_t, 3>, 7> kBars = {{{191, 191, 191},
                                                          {191, 191, 0},
                                                          {0, 191, 191},
                                                          {0, 191, 0},
                                                          {191, 0, 191},
                                                          {191, 0, 0},
                                                          {0, 0, 191}}};
constexpr uint32_t kMovingBarSteps = 16;

}  // namespace

picture::RgbPicture TestPattern(uint32_t width, uint32_t height, uint32_t frameIndex) {
  if (width == 0 || height == 0) throw std::invalid_argument("a test pattern needs a size");
  picture::RgbPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  const uint32_t barWidth = (width + kMovingBarSteps - 1) / kMovingBarSteps;
  const uint32_t movingBar = (frameIndex % kMovingBarSteps) * barWidth;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = &picture.pixels[(size_t{y} * width + x) * 3];
      const bool inMovingBar = x >= movingBar && x < movingBar + barWidth && y < height * 3 / 4;
      if (inMovingBar) {
        pixel[0] = pixel[1] = pixel[2] = 235;
      } else if (y < height * 3 / 4) {
        const auto& bar = kBars[size_t{x} * kBars.size() / width];
        pixel[0] = bar[0];
        pixel[1] = bar[1];
        pixel[2] = bar[2];
      } else {  // a grey ramp along the bottom
        pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(16 + 219 * x / width);
      }
    }
  }
  return picture;
}

}  // namespace ksv::simcam
