#include "simcam/framing.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace ksv::simcam {

namespace {

uint8_t RoundToSample(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// One source pixel's share of an output pixel.
struct Tap {
  uint32_t source = 0;
  double weight = 0.0;
};

// Area-average taps of each output index over the source span
// [offset, offset + extent), which is cut into `count` equal cells.
// Each output index gets a run of taps whose weights sum to 1.
struct TapTable {
  std::vector<uint32_t> first;  // count + 1 entries: taps of output i are [first[i], first[i+1])
  std::vector<Tap> taps;
};

TapTable BuildTaps(double offset, double extent, uint32_t count, uint32_t sourceSize) {
  TapTable table;
  table.first.reserve(count + 1);
  const double cell = extent / count;
  for (uint32_t i = 0; i < count; ++i) {
    table.first.push_back(static_cast<uint32_t>(table.taps.size()));
    const double begin = offset + i * cell;
    const double end = begin + cell;
    const auto firstSource = static_cast<uint32_t>(std::floor(begin));
    const auto lastSource = std::min(sourceSize - 1, static_cast<uint32_t>(std::ceil(end) - 1));
    for (uint32_t s = firstSource; s <= lastSource; ++s) {
      const double overlap = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
      if (overlap > 0.0) table.taps.push_back({s, overlap / cell});
    }
  }
  table.first.push_back(static_cast<uint32_t>(table.taps.size()));
  return table;
}

}  // namespace

picture::RgbPicture FitToSize(const picture::RgbPicture& picture, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || picture.width == 0 || picture.height == 0) {
    throw std::invalid_argument("cannot fit a picture to or from an empty size");
  }
  if (picture.pixels.size() != size_t{picture.width} * picture.height * 3) {
    throw std::invalid_argument("RGB picture holds the wrong number of bytes");
  }
  // The largest centred region of the target's aspect ratio.
  double cropWidth = picture.width;
  double cropHeight = picture.height;
  if (static_cast<double>(picture.width) * height > static_cast<double>(picture.height) * width) {
    cropWidth = static_cast<double>(picture.height) * width / height;
  } else {
    cropHeight = static_cast<double>(picture.width) * height / width;
  }
  const TapTable columns =
      BuildTaps((picture.width - cropWidth) / 2, cropWidth, width, picture.width);
  const TapTable rows =
      BuildTaps((picture.height - cropHeight) / 2, cropHeight, height, picture.height);

  // Horizontal pass over every source row, then the vertical pass.
  std::vector<double> narrowed(size_t{picture.height} * width * 3);
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* source = picture.pixels.data() + size_t{y} * picture.width * 3;
    double* target = narrowed.data() + size_t{y} * width * 3;
    for (uint32_t x = 0; x < width; ++x) {
      for (uint32_t t = columns.first[x]; t < columns.first[x + 1]; ++t) {
        const Tap& tap = columns.taps[t];
        for (int c = 0; c < 3; ++c) target[3 * x + c] += tap.weight * source[3 * tap.source + c];
      }
    }
  }
  picture::RgbPicture fitted{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  std::vector<double> row(size_t{width} * 3);
  for (uint32_t y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0.0);
    for (uint32_t t = rows.first[y]; t < rows.first[y + 1]; ++t) {
      const Tap& tap = rows.taps[t];
      const double* source = narrowed.data() + size_t{tap.source} * width * 3;
      for (size_t i = 0; i < row.size(); ++i) row[i] += tap.weight * source[i];
    }
    uint8_t* target = fitted.pixels.data() + size_t{y} * width * 3;
    for (size_t i = 0; i < row.size(); ++i) target[i] = RoundToSample(row[i]);
  }
  return fitted;
}

}  // namespace ksv::simcam
