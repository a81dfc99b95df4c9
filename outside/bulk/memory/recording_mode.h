// The camera's recording modes. Every stored item names one by its
// quantisation-table index: the mode gives the tables the item was
// compressed with and the size of its pictures or frames, and so the JPEG
// header the camera hands out for that index.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/quant_tables.h"

namespace ksv::outside::bulk {

struct RecordingMode {
  uint8_t tableIndex = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  codec::QuantPair tables{};
};


// The 128 bytes the camera hands out for a table index: 64 luminance then
// 64 chrominance entries, natural order.
std::vector<uint8_t> TableBytes(const RecordingMode& mode);

}  // namespace ksv::outside::bulk
