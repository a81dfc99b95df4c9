// Bitmaps: device-dependent ones (24 bits, or 1 bit for masks), DIB
// sections and bitmap resources.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/objects.h"
#include "platform/gdi/resources.h"
#include "platform/sync/sync.h"

namespace ksv::platform::gdi {
namespace {

std::atomic<ResourceFinder> finder{nullptr};

bool SizeFits(int width, int height) { return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide; }

HBITMAP NewBitmap(Image image, bool dibSection = false) {
  return ToHandle<HBITMAP>(NewObject(BitmapObject{std::move(image), dibSection}));
}

}  // namespace

void SetResourceFinder(ResourceFinder newFinder) { finder = newFinder; }

HBITMAP BitmapFromPackedDib(std::span<const uint8_t> bytes) {
  // A packed DIB: header, colour table, rows; every part inside the bytes.
  BITMAPINFOHEADER header{};
  if (bytes.size() >= sizeof header) std::memcpy(&header, bytes.data(), sizeof header);
  const int bpp = header.biBitCount;
  const uint64_t colours = header.biClrUsed != 0 ? header.biClrUsed : bpp <= 8 ? 1u << bpp : 0;
  const uint64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  const uint64_t offset = uint64_t{header.biSize} + 4 * colours;
  const uint64_t pixelBytes =
      header.biWidth > 0 && header.biWidth <= kMaxSide && bpp > 0 && bpp <= 32 && height <= uint64_t(kMaxSide)
          ? DibStride(header.biWidth, bpp) * height
          : UINT64_MAX / 2;
  if (bytes.size() < sizeof header || header.biSize < sizeof header || offset > bytes.size() ||
      pixelBytes > bytes.size() - offset) {
    return nullptr;
  }
  // The header is read as a structure: a DIB that starts at an odd place
  // (a bitmap file's follows its 14-byte file header) is read from a copy.
  std::vector<uint8_t> aligned;
  if (reinterpret_cast<uintptr_t>(bytes.data()) % alignof(BITMAPINFO) != 0) {
    aligned.assign(bytes.begin(), bytes.end());
    bytes = aligned;
  }
  Image image = DibToColour(DibSource{reinterpret_cast<const BITMAPINFO*>(bytes.data()), bytes.data() + offset, 0,
                                      static_cast<UINT>(height)});
  if (image.width() == 0) return nullptr;
  return NewBitmap(std::move(image));
}

}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr || !SizeFits(width, height)) {
    SetLastError(dc == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // As on the platform: compatible with a memory DC's bitmap, so with a
  // new memory DC's 1-bit one.
  const bool mono = dc->bitmap != nullptr && dc->bitmap->image.bitsPerPixel() == 1;
  return NewBitmap(Image(width, height, mono ? 1 : 24, true));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (!SizeFits(width, height) || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 24)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int bpp = static_cast<int>(bitsPerPixel);
  Image image(width, height, bpp, true);
  if (bits != nullptr) {
    // The caller's rows are padded to 2 bytes (1 bit) or to 4.
    const size_t rowBytes = (static_cast<size_t>(width) * bpp + 7) / 8;
    const size_t inStride = bpp == 1 ? (static_cast<size_t>(width) + 15) / 16 * 2 : DibStride(width, bpp);
    const PixelView view = image.View();
    for (int y = 0; y < height; ++y) {
      std::memcpy(view.Row(y), static_cast<const uint8_t*>(bits) + y * inStride, rowBytes);
    }
  }
  return NewBitmap(std::move(image));
}

HBITMAP CreateDIBSection(HDC /*dc*/, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD /*offset*/) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  BITMAPINFOHEADER header;
  std::memcpy(&header, &info->bmiHeader, sizeof header);
  const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  if (header.biSize < sizeof header || header.biPlanes != 1 || header.biBitCount != 24 ||
      header.biCompression != BI_RGB || height > kMaxSide || !SizeFits(header.biWidth, static_cast<int>(height))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Image image(header.biWidth, static_cast<int>(height), 24, header.biHeight < 0);
  uint8_t* data = image.data();
  const HBITMAP bitmap = NewBitmap(std::move(image), /*dibSection=*/true);
  if (bits != nullptr) *bits = data;  // the vector's buffer moved with it
  return bitmap;
}

HBITMAP LoadBitmapA(HINSTANCE instance, const char* name) {
  const ResourceFinder find = finder.load();
  const std::span<const uint8_t> bytes =
      find != nullptr && name != nullptr ? find(instance, name, RT_BITMAP) : std::span<const uint8_t>{};
  const HBITMAP bitmap = BitmapFromPackedDib(bytes);
  if (bitmap == nullptr) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return bitmap;
}

}  // extern "C"
