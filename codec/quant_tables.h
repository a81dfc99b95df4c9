// Quantisation tables of the camera and the dequantisation multipliers the
// decoder derives from them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ksv::codec {

using QuantTable = std::array<uint8_t, 64>;  // natural (row-major) order

struct QuantPair {
  QuantTable luminance;
  QuantTable chrominance;
  friend bool operator==(const QuantPair&, const QuantPair&) = default;
};

// Percentages of the Annex K tables for the four compression levels: the
// driver's (and the camera's live video), and the camera access library's
// built-in pairs for frames stored in the camera's memory.
inline constexpr std::array<int, 4> kDriverLevelPercentages = {10, 20, 40, 30};
inline constexpr std::array<int, 4> kLibraryLevelPercentages = {100, 60, 40, 30};
inline constexpr int kCompressionLevels = 4;

// Each entry max(1, (base x percentage + 50) / 100) in integer arithmetic.
QuantPair ScaledAnnexKPair(int percentage);

// The pair of a driver compression level (0..3).
QuantPair DriverLevelPair(int level);

// The 512 bytes the driver uploads to the camera's encoder: level 0 luminance,
// level 0 chrominance, level 1 luminance, ... level 3 chrominance.
std::array<uint8_t, 512> DriverEncoderTables();

// The camera access library's built-in pair number (0..7): 1 and 5, 2 and 6,
// 3 and 7 share tables; 0, 4 and any other number give the default pair
// (that of level 0).
QuantPair LibraryBuiltInPair(int pair);

// A 128-byte stored table: 64 luminance then 64 chrominance entries.
QuantPair QuantPairFromBytes(std::span<const uint8_t, 128> bytes);

// Dequantisation multipliers, natural order, with the inverse transform's
// per-coefficient scale factors folded in.
using Multipliers = std::array<int16_t, 64>;

struct DequantTables {
  Multipliers luminance;
  Multipliers chrominance;
};

// Driver form: entry (v, u) = ((q x S[u] x 4) >> 16) x S[v] >> 16 in 32-bit
// signed integers, S[k] = 65536 x sqrt(2) x cos(k pi / 16), S[0] = 65536.
Multipliers FixedPointMultipliers(const QuantTable& table);
DequantTables FixedPointMultipliers(const QuantPair& pair);

// Camera access library form: the integer part of q x 4 x s[v] x s[u] in
// floating point, s[k] = sqrt(2) x cos(k pi / 16), s[0] = 1.
Multipliers FloatingPointMultipliers(const QuantTable& table);
DequantTables FloatingPointMultipliers(const QuantPair& pair);

}  // namespace ksv::codec
