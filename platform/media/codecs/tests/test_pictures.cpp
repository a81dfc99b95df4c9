#include "platform/media/codecs/tests/test_pictures.h"

#include <cmath>

namespace ksv::media::codecs::testing {

std::vector<uint8_t> Scene(int width, int height, int phase) {
  const PictureFormat format{width, height, PixelFormat::kRgb24};
  std::vector<uint8_t> picture(ImageSize(format));
  const int stride = RowStride(format);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = picture.data() + static_cast<size_t>(stride) * (height - 1 - y) + 3 * x;
      const int dx = x - width / 2 - phase, dy = y - height / 3;
      const bool disc = dx * dx + dy * dy < (height / 4) * (height / 4);
      const bool bar = y > height * 2 / 3 && y < height * 5 / 6;
      pixel[0] = static_cast<uint8_t>(disc ? 230 : bar ? 20 : 40 + 160 * y / height);
      pixel[1] = static_cast<uint8_t>(disc ? 220 : bar ? 30 : 60 + 150 * x / width);
      pixel[2] = static_cast<uint8_t>(disc ? 90 : bar ? 25 : 200 - 150 * (x + y) / (width + height));
    }
  }
  return picture;
}

double Psnr(const PictureFormat& format, const std::vector<uint8_t>& a,
            const std::vector<uint8_t>& b) {
  double sum = 0;
  size_t count = 0;
  auto add = [&](size_t at) {
    const double d = double(a.at(at)) - double(b.at(at));
    sum += d * d;
    ++count;
  };
  if (format.format == PixelFormat::kI420) {
    for (size_t at = 0; at < ImageSize(format); ++at) add(at);
  } else {
    const int step = format.format == PixelFormat::kRgb32 ? 4 : 3;
    for (int y = 0; y < format.height; ++y) {
      for (int x = 0; x < format.width; ++x) {
        const size_t at = static_cast<size_t>(RowStride(format)) * y + size_t(step) * x;
        add(at);
        add(at + 1);
        add(at + 2);
      }
    }
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

}  // namespace ksv::media::codecs::testing
