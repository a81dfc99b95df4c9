#include "support/picture/y4m_writer.h"

#include <cmath>
#include <numeric>

#include "support/picture/picture.h"

namespace ksv::picture {
namespace {

size_t PlanarFrameBytes(uint32_t width, uint32_t height) {
  return BlankPlanar(width, height).samples.size();  // checks the size too
}

}  // namespace

FrameRate FrameRateOfInterval(uint64_t interval) {
  constexpr uint64_t kUnitsPerSecond = 10'000'000;
  if (interval == 0) return {30, 1};
  const double rate = static_cast<double>(kUnitsPerSecond) / static_cast<double>(interval);
  const double whole = std::round(rate);
  if (whole >= 1 && std::abs(rate - whole) <= whole * 0.001) {
    return {static_cast<uint64_t>(whole), 1};
  }
  const uint64_t divisor = std::gcd(kUnitsPerSecond, interval);
  return {kUnitsPerSecond / divisor, interval / divisor};
}

std::string Y4mHeader(uint32_t width, uint32_t height, FrameRate rate) {
  return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
         std::to_string(rate.numerator) + ":" + std::to_string(rate.denominator) +
         " Ip A1:1 C420jpeg XCOLORRANGE=FULL\n";
}

Y4mWriter::Y4mWriter(const std::filesystem::path& path, uint32_t width, uint32_t height,
                     FrameRate rate, ExistingFile existing)
    : file_(path, existing), frameBytes_(PlanarFrameBytes(width, height)) {
  const std::string header = Y4mHeader(width, height, rate);
  file_.Write({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
}

void Y4mWriter::WriteFrame(std::span<const uint8_t> samples) {
  if (samples.size() != frameBytes_) {
    throw PictureError("frame " + std::to_string(frames_ + 1) + " holds " +
                       std::to_string(samples.size()) + " bytes, not a planar picture of " +
                       std::to_string(frameBytes_));
  }
  file_.Write(kY4mFrameMarker);
  file_.Write(samples);
  ++frames_;
}

}  // namespace ksv::picture
