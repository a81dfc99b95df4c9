// The decoding half of OKSV1JPG, on bytes already in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "include/win32_types.h"

namespace ksv::outside::jpeg {

// Larger pictures are refused: their bitmap alone would be 150 MB.
inline constexpr uint64_t kMaxPixels = 50'000'000;
// Larger files are refused unread.
inline constexpr size_t kMaxJpegFileBytes = size_t{64} << 20;

// The packed bitmap of a JPEG file's bytes (as JPEG_2Dib describes it), or
// null.
HGLOBAL DecodeJpegToPackedBitmap(std::span<const uint8_t> file);

}  // namespace ksv::outside::jpeg
