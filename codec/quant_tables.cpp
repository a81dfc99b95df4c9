#include "codec/quant_tables.h"

#include <cmath>
#include <numbers>

#include "codec/annex_k.h"

namespace ksv::codec {

namespace {

constexpr std::array<int32_t, 8> kFixedScale = {65536, 90901, 85626, 77062,
                                                65536, 51491, 35467, 18081};

QuantTable Scaled(const std::array<uint8_t, 64>& base, int percentage) {
  QuantTable table{};
  for (size_t i = 0; i < 64; ++i) {
    int entry = (base[i] * percentage + 50) / 100;
    table[i] = static_cast<uint8_t>(entry < 1 ? 1 : (entry > 255 ? 255 : entry));
  }
  return table;
}

std::array<double, 8> FloatScale() {
  std::array<double, 8> s{};
  s[0] = 1.0;
  for (int k = 1; k < 8; ++k) s[k] = std::numbers::sqrt2 * std::cos(k * std::numbers::pi / 16.0);
  return s;
}

}  // namespace

QuantPair ScaledAnnexKPair(int percentage) {
  return {Scaled(kAnnexKLuminanceQuant, percentage), Scaled(kAnnexKChrominanceQuant, percentage)};
}

QuantPair DriverLevelPair(int level) {
  return ScaledAnnexKPair(kDriverLevelPercentages.at(static_cast<size_t>(level)));
}

std::array<uint8_t, 512> DriverEncoderTables() {
  std::array<uint8_t, 512> bytes{};
  for (int level = 0; level < kCompressionLevels; ++level) {
    QuantPair pair = DriverLevelPair(level);
    auto out = bytes.begin() + level * 128;
    out = std::copy(pair.luminance.begin(), pair.luminance.end(), out);
    std::copy(pair.chrominance.begin(), pair.chrominance.end(), out);
  }
  return bytes;
}

QuantPair LibraryBuiltInPair(int pair) {
  int level = (pair >= 1 && pair <= 7) ? pair % 4 : 0;
  return ScaledAnnexKPair(kLibraryLevelPercentages[static_cast<size_t>(level)]);
}

QuantPair QuantPairFromBytes(std::span<const uint8_t, 128> bytes) {
  QuantPair pair{};
  std::copy(bytes.begin(), bytes.begin() + 64, pair.luminance.begin());
  std::copy(bytes.begin() + 64, bytes.end(), pair.chrominance.begin());
  return pair;
}

Multipliers FixedPointMultipliers(const QuantTable& table) {
  Multipliers m{};
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      int32_t q = table[static_cast<size_t>(v * 8 + u)];
      int32_t row = (q * kFixedScale[static_cast<size_t>(u)] * 4) >> 16;
      m[static_cast<size_t>(v * 8 + u)] =
          static_cast<int16_t>((row * kFixedScale[static_cast<size_t>(v)]) >> 16);
    }
  }
  return m;
}

DequantTables FixedPointMultipliers(const QuantPair& pair) {
  return {FixedPointMultipliers(pair.luminance), FixedPointMultipliers(pair.chrominance)};
}

Multipliers FloatingPointMultipliers(const QuantTable& table) {
  static const std::array<double, 8> s = FloatScale();
  Multipliers m{};
  for (size_t v = 0; v < 8; ++v) {
    for (size_t u = 0; u < 8; ++u) {
      double value = table[v * 8 + u] * 4.0 * s[v] * s[u];
      m[v * 8 + u] = static_cast<int16_t>(static_cast<int32_t>(value));
    }
  }
  return m;
}

DequantTables FloatingPointMultipliers(const QuantPair& pair) {
  return {FloatingPointMultipliers(pair.luminance), FloatingPointMultipliers(pair.chrominance)};
}

}  // namespace ksv::codec
