// Windows bitmap files: the 14-byte "BM" file header followed by a packed
// bitmap (information header, colour table, pixel rows).
#pragma once

#include "include/win32_types.h"

namespace ksv::common {

// Bytes of the "BM" file header.
inline constexpr size_t kBitmapFileHeaderBytes = 14;

// Writes the packed bitmap in `bitmap` as a bitmap file at `path` (created
// or replaced). The header gives the file size (14 + header + colour table
// + image size) and the pixel offset (14 + header + colour table). For
// run-length compressed bitmaps (compression 1 or 2) the stored image size
// is used; for others it is recomputed as row bytes x height and written
// back into the block's header. False when the block does not hold a
// 40-byte information header and the pixels it describes, or when the file
// could not be written whole. The file is written under a temporary name
// and renamed into place, so a failed write leaves no partial file and any
// earlier file at `path` as it was.
bool WriteBitmapFile(const char* path, HGLOBAL bitmap);

// Reads a bitmap file into a new zero-filled movable block holding its
// packed bitmap (everything after the 14-byte file header). Null when the
// file cannot be read, is shorter than 14 bytes, does not begin with "BM",
// or does not hold the information header, colour table and pixels its
// header describes.
HGLOBAL ReadBitmapFile(const char* path);

}  // namespace ksv::common
