// Helpers of the snapshot conversion tests: raw snapshot files laid out as
// the camera driver writes them, a fresh folder per test, and bitmaps read
// back by the bitmap rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "include/win32_types.h"
#include "support/picture/picture.h"
#include "support/picture/tests/test_pictures.h"
#include "testing/temp_files.h"

namespace ksv::snapshot::testing {

// Bytes of the driver's 320 x 240 snapshot file.
inline constexpr size_t kDriverSnapshotBytes = 231424;

// A raw snapshot file of `picture` (top-down R, G, B): the 1024-byte header
// the driver writes (image type 1 at byte 64, width and height at 65 and 67,
// its identifiers after them), then the rows B, G, R, bottom row first, each
// padded with zeros to 4 bytes.
std::vector<uint8_t> MakeRawSnapshot(const picture::RgbPicture& picture);

// Makes the header of `file` name width x height, whatever the file holds.
void SetHeaderSize(std::vector<uint8_t>& file, uint16_t width, uint16_t height);

using ::ksv::picture::testing::PatternPicture;

// The pixels of a packed bitmap block as top-down R, G, B, read by the
// bitmap rules.
picture::RgbPicture BitmapPicture(HGLOBAL bitmap);

// The bitmap's pixel rows as they lie in the block.
std::vector<uint8_t> BitmapPixelBytes(const void* bitmap);

// Owns a global-memory block and frees it at the end of the test.
class OwnedBitmap {
 public:
  OwnedBitmap() = default;
  ~OwnedBitmap();
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;

  HGLOBAL* out() { return &block_; }  // for the export to fill
  HGLOBAL block() const { return block_; }
  const void* bits() const;  // the block's address

 private:
  HGLOBAL block_ = nullptr;
};

using ::ksv::testing::TempFolder;
using ::ksv::testing::WriteFile;


}  // namespace ksv::snapshot::testing
