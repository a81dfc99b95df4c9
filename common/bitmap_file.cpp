#include "common/bitmap_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"

namespace ksv::common {

namespace {

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr size_t kReadPiece = 32768;
constexpr size_t kMaxBitmapFileBytes = size_t{1} << 30;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The bytes of the image the header describes when they lie in `size`
// bytes of block; 0 when they do not.
size_t DescribedBytes(const BITMAPINFOHEADER& header, const void* bits, size_t size,
                      size_t& tableBytes) {
  if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biHeight == 0) return 0;
  tableBytes = size_t{PackedBitmapColourCount(bits)} * sizeof(RGBQUAD);
  if (tableBytes > 256 * sizeof(RGBQUAD)) return 0;
  size_t image = header.biSizeImage;
  if (header.biCompression != kRle8 && header.biCompression != kRle4) {
    const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    image = PackedRowBytes(header.biWidth, header.biBitCount) * static_cast<size_t>(height);
    if (image == 0) return 0;
  }
  const size_t needed = header.biSize + tableBytes + image;
  return needed <= size ? image : 0;
}

}  // namespace

bool WriteBitmapFile(const char* path, HGLOBAL bitmap) {
  if (path == nullptr) return false;
  const size_t size = GlobalSize(bitmap);
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  auto* bits = static_cast<uint8_t*>(GlobalLock(bitmap));
  if (bits == nullptr) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, bits, sizeof header);
  size_t tableBytes = 0;
  const size_t image = DescribedBytes(header, bits, size, tableBytes);
  bool ok = image != 0;
  if (ok) {
    if (header.biCompression != kRle8 && header.biCompression != kRle4) {
      header.biSizeImage = static_cast<DWORD>(image);
      std::memcpy(bits, &header, sizeof header);
    }
    const size_t body = sizeof header + tableBytes + image;
    uint8_t fileHeader[kBitmapFileHeaderBytes] = {'B', 'M'};
    support::StoreLe32(fileHeader, 2, static_cast<uint32_t>(kBitmapFileHeaderBytes + body));
    support::StoreLe32(fileHeader, 10,
                       static_cast<uint32_t>(kBitmapFileHeaderBytes + sizeof header + tableBytes));
    File file(std::fopen(path, "wb"));
    const bool opened = file != nullptr;
    ok = opened &&
         std::fwrite(fileHeader, 1, sizeof fileHeader, file.get()) == sizeof fileHeader &&
         std::fwrite(bits, 1, body, file.get()) == body;
    if (opened) ok = std::fclose(file.release()) == 0 && ok;
    if (opened && !ok) {  // no half-written bitmap left behind
      std::error_code ignored;
      if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);
    }
  }
  GlobalUnlock(bitmap);
  return ok;
}

HGLOBAL ReadBitmapFile(const char* path) {
  if (path == nullptr) return nullptr;
  File file(std::fopen(path, "rb"));
  if (file == nullptr) return nullptr;
  uint8_t fileHeader[kBitmapFileHeaderBytes];
  if (std::fread(fileHeader, 1, sizeof fileHeader, file.get()) != sizeof fileHeader ||
      fileHeader[0] != 'B' || fileHeader[1] != 'M') {
    return nullptr;
  }
  std::error_code error;
  const auto fileBytes = std::filesystem::file_size(path, error);
  if (error || fileBytes > kMaxBitmapFileBytes || fileBytes <= kBitmapFileHeaderBytes) {
    return nullptr;
  }
  const size_t rest = static_cast<size_t>(fileBytes) - kBitmapFileHeaderBytes;
  HGLOBAL block = GlobalAlloc(GHND, rest);
  if (block == nullptr) return nullptr;
  auto* bits = static_cast<uint8_t*>(GlobalLock(block));
  size_t done = 0;
  while (done < rest) {
    const size_t piece = std::min(kReadPiece, rest - done);
    if (std::fread(bits + done, 1, piece, file.get()) != piece) break;
    done += piece;
  }
  bool ok = done == rest && rest >= sizeof(BITMAPINFOHEADER);
  if (ok) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, bits, sizeof header);
    size_t tableBytes = 0;
    ok = DescribedBytes(header, bits, rest, tableBytes) != 0;
  }
  GlobalUnlock(block);
  if (!ok) {
    GlobalFree(block);
    return nullptr;
  }
  return block;
}

}  // namespace ksv::common
