#include "snapshot/snapshot_reader.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "common/packed_bitmap.h"
#include "include/oksv1sna.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"

namespace ksv::snapshot {
namespace {

constexpr uint16_t kBitsPerPixel = 24;

// Reads up to `count` bytes from `offset`, stopping early only at the end of
// the file. The bytes read, or -1 on a read error.
ssize_t ReadAt(int fd, uint8_t* to, size_t count, size_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, to + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

// Bytes of the pixel rows of a width x height picture; 0 when no bitmap of
// that size is made (an empty side, or above the library's limit).
size_t ImageBytes(uint16_t width, uint16_t height) {
  const size_t rowBytes = common::PackedRowBytes(width, kBitsPerPixel);
  const size_t imageBytes = rowBytes * height;
  return imageBytes <= KXSNAPSHOT_MAX_IMAGE_BYTES ? imageBytes : 0;
}

}  // namespace

int32_t ReadSnapshotBitmap(int fd, uint64_t fileBytes, HGLOBAL* bitmap) noexcept {
  *bitmap = nullptr;
  // Without the whole header block the size fields mean nothing.
  if (fileBytes < kHeaderBytes) return KXSNAPSHOT_NO_SIZE;
  std::array<uint8_t, kHeaderBytes> header{};
  const ssize_t headerRead = ReadAt(fd, header.data(), header.size(), 0);
  if (headerRead < 0) return KXSNAPSHOT_CANNOT_OPEN;
  if (static_cast<size_t>(headerRead) < kHeaderBytes) return KXSNAPSHOT_NO_SIZE;  // shrank

  const uint16_t width = support::LoadLe16(header, kWidthOffset);
  const uint16_t height = support::LoadLe16(header, kHeightOffset);
  const size_t imageBytes = ImageBytes(width, height);
  if (imageBytes == 0) return KXSNAPSHOT_NO_BITMAP;
  HGLOBAL block = common::CreatePackedBitmap(width, height, kBitsPerPixel);
  if (block == nullptr) return KXSNAPSHOT_NO_BITMAP;

  // A file shorter than its header claims leaves the rest of the zero-filled
  // rows black; a longer one is read only as far as the bitmap holds.
  void* locked = GlobalLock(block);
  if (locked == nullptr) {
    GlobalFree(block);
    return KXSNAPSHOT_NO_BITMAP;
  }
  const ssize_t pixelsRead =
      ReadAt(fd, common::PackedBitmapPixels(locked), imageBytes, kPixelsOffset);
  GlobalUnlock(block);
  if (pixelsRead < 0) {  // a broken read is not a picture with black rows
    GlobalFree(block);
    return KXSNAPSHOT_CANNOT_OPEN;
  }
  *bitmap = block;
  return KXSNAPSHOT_OK;
}

}  // namespace ksv::snapshot
