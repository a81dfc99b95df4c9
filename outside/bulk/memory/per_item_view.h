// The per-item view of the camera's memory: what the bulk library's
// BULK_GetNthDSC hands out for one item.
//
// Header block (64 bytes, little-endian):
//    3  3  data size: the bytes of the item's data (below)
//    8  1  table index
//    9  2  block size B = 64
//   11  2  number of frames
//   13  2  distance D from the frame-length table to the first frame
//   15  1  kind: 1 clip, 2 burst, 3 high-quality picture, 4 low-quality
//          picture, 5 raw recording
//   16  2  T1 and 18 2 T2: milliseconds per frame = T1 x T2 / frames
// At B the frame-length table (one 16-bit count of B-byte units a frame),
// zero-filled to D bytes; the data at B + D. A picture's data is ready to
// follow the camera's JPEG header: its entropy data with 0x00 stuffed after
// each 0xFF, then EOI. A clip's or burst's data is its frames, each padded
// to B bytes; a recording's data is its bytes. The item ends on the B grid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "outside/bulk/memory/stored_item.h"

namespace ksv::outside::bulk {

inline constexpr size_t kPerItemBlockSize = 64;

enum class PerItemKind : uint8_t {
  kClip = 1,
  kBurst = 2,
  kHighQualityPicture = 3,
  kLowQualityPicture = 4,
  kRaw = 5,
};

// The kind under which a (checked) item appears in the per-item view.
PerItemKind PerItemKindOf(const StoredItem& item);

// The per-item bytes of a checked item, and their count.
std::vector<uint8_t> PerItemBytes(const StoredItem& item);
size_t PerItemSize(const StoredItem& item);

// Throws ItemError when the item's per-item view would overflow one of its
// fields (data size 24 bits, frame lengths and table distance 16 bits).
void CheckPerItemLimits(const StoredItem& item);

}  // namespace ksv::outside::bulk
