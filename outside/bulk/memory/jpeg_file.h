// Wraps the camera's entropy data as an ordinary baseline JFIF file, so that
// any JPEG decoder (libjpeg-turbo in the tests and benchmarks) can read the
// same data the camera's decoder reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/quant_tables.h"

namespace ksv::outside::bulk {

// SOI, APP0 (JFIF 1.01), DQT (luminance table 0, chrominance table 1, 8-bit,
// zig-zag order), SOF0 (Y 2x2 with table 0, Cb and Cr 1x1 with table 1), DHT
// (the Annex K tables: DC 0 = K.3, AC 0 = K.5, DC 1 = K.4, AC 1 = K.6), SOS
// (all three components, spectral range 0..63), the entropy data with a 0x00
// stuffed after every 0xFF, EOI. Throws std::invalid_argument for a size of
// 0 or above 65535.
std::vector<uint8_t> WrapAsJpeg(std::span<const uint8_t> entropy, const codec::QuantPair& tables,
                                uint32_t width, uint32_t height);

// The header the camera gives for a stored picture: the same segments as
// above, but each quantisation and Huffman table in a segment of its own,
// which makes it 623 bytes. Byte 10 is the zero that ends "JFIF". The
// picture's entropy data, stuffed, and EOI complete the file. Throws
// std::invalid_argument as WrapAsJpeg does.
inline constexpr size_t kStoredPictureHeaderSize = 623;
std::array<uint8_t, kStoredPictureHeaderSize> StoredPictureHeader(const codec::QuantPair& tables,
                                                                  uint32_t width, uint32_t height);

// Appends entropy data with a 0x00 stuffed after every 0xFF.
void AppendStuffed(std::span<const uint8_t> entropy, std::vector<uint8_t>& out);
// Appends the EOI marker.
void AppendEndOfImage(std::vector<uint8_t>& out);

}  // namespace ksv::outside::bulk
