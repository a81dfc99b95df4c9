// The bitmap files of the system's libraries, through the picture library's
// BMP code and its atomic whole-file writer.
#include "common/bitmap_file.h"

#include <cstring>
#include <span>

#include "platform/memory/global_memory.h"
#include "support/picture/bmp_file.h"
#include "support/picture/whole_file.h"

namespace ksv::common {

namespace {

constexpr size_t kMaxBitmapFileBytes = size_t{1} << 30;
constexpr size_t kImageSizeOffset = 20;  // biSizeImage in the information header

// The packed bitmap's layout when it holds a 40-byte information header and
// everything that header describes; false otherwise.
bool Describe(std::span<const uint8_t> dib, picture::BitmapLayout& layout) {
  try {
    layout = picture::DescribeDib(dib, "packed bitmap");
  } catch (const picture::PictureError&) {
    return false;
  }
  return layout.headerBytes == sizeof(BITMAPINFOHEADER);
}

}  // namespace

bool WriteBitmapFile(const char* path, HGLOBAL bitmap) {
  if (path == nullptr) return false;
  const size_t size = GlobalSize(bitmap);
  auto* bits = static_cast<uint8_t*>(GlobalLock(bitmap));
  if (bits == nullptr) return false;
  const std::span<const uint8_t> dib(bits, size);
  picture::BitmapLayout layout;
  bool ok = Describe(dib, layout);
  if (ok) {
    const std::vector<uint8_t> file = picture::BmpFileOfDib(dib);
    // The image size the file carries (recomputed for uncompressed bitmaps)
    // goes back into the block, as callers of this routine expect.
    std::memcpy(bits + kImageSizeOffset,
                file.data() + picture::kBmpFileHeaderBytes + kImageSizeOffset, 4);
    ok = picture::TryWriteWholeFile(path, file) == 0;
  }
  GlobalUnlock(bitmap);
  return ok;
}

HGLOBAL ReadBitmapFile(const char* path) {
  if (path == nullptr) return nullptr;
  std::vector<uint8_t> file;
  try {
    file = picture::ReadWholeFile(path, kMaxBitmapFileBytes);
  } catch (const picture::FileError&) {
    return nullptr;
  }
  if (file.size() <= kBitmapFileHeaderBytes || file[0] != 'B' || file[1] != 'M') return nullptr;
  const std::span<const uint8_t> rest =
      std::span<const uint8_t>(file).subspan(kBitmapFileHeaderBytes);
  picture::BitmapLayout layout;
  if (!Describe(rest, layout)) return nullptr;
  HGLOBAL block = GlobalAlloc(GHND, rest.size());
  if (block == nullptr) return nullptr;
  std::memcpy(GlobalLock(block), rest.data(), rest.size());
  GlobalUnlock(block);
  return block;
}

}  // namespace ksv::common
