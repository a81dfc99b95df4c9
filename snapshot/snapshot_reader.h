// The raw snapshot file as this library reads it: the picture's width and
// height from the 128-byte header block, and from byte 1024 the pixel rows,
// laid out exactly as a 24-bit packed bitmap holds them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/win32_types.h"

namespace ksv::snapshot {

inline constexpr size_t kHeaderBytes = 128;
inline constexpr size_t kWidthOffset = 65;   // 16-bit little-endian
inline constexpr size_t kHeightOffset = 67;  // 16-bit little-endian
inline constexpr size_t kPixelsOffset = 1024;

// Reads the snapshot in `fd`, an open plain file of `fileBytes` bytes, into a
// new 24-bit packed bitmap in `*bitmap`. Returns a KXSNAPSHOT_ status; on
// failure `*bitmap` is null. Never reads more than the bitmap holds.
int32_t ReadSnapshotBitmap(int fd, uint64_t fileBytes, HGLOBAL* bitmap) noexcept;

}  // namespace ksv::snapshot
