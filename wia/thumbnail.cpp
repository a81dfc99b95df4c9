#include "wia/thumbnail.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "include/win32_errors.h"
#include "platform/com/hresult.h"
#include "platform/gdi/gdi.h"

namespace ksv::wia {

HRESULT MakeThumbnail(const std::string& bitmapFile, const ImageInformation& info, std::vector<uint8_t>* pixels) {
  std::ifstream in(bitmapFile, std::ios::binary);
  if (!in) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const uint64_t rows = static_cast<uint64_t>(info.bytesPerLine) * static_cast<uint64_t>(info.height);
  if (info.pixelOffset > file.size() || file.size() - info.pixelOffset < rows) return E_FAIL;

  // Drawn size: the whole width when the picture is wider than 4:3, else
  // the whole height; whole pixels.
  const double ratio = static_cast<double>(info.width) / info.height;
  const int drawnWidth = ratio > 4.0 / 3.0 ? kThumbnailWidth : static_cast<int>(ratio * kThumbnailHeight);
  const int drawnHeight = ratio > 4.0 / 3.0 ? static_cast<int>(kThumbnailWidth / ratio) : kThumbnailHeight;

  BITMAPINFO target{};
  target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  target.bmiHeader.biWidth = kThumbnailWidth;
  target.bmiHeader.biHeight = kThumbnailHeight;
  target.bmiHeader.biPlanes = 1;
  target.bmiHeader.biBitCount = 24;
  target.bmiHeader.biXPelsPerMeter = 100;
  target.bmiHeader.biYPelsPerMeter = 100;
  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc == nullptr || bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    return E_OUTOFMEMORY;
  }
  constexpr size_t kBytes = kThumbnailWidth * 3 * kThumbnailHeight;
  std::memset(bits, 0, kBytes);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  // The source's header and colour table, as the file has them.
  std::vector<uint8_t> source(info.header);
  source.resize(std::max<size_t>(source.size(), sizeof(BITMAPINFO)));
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, 0, 0, drawnWidth, drawnHeight, 0, 0, info.width, info.height, file.data() + info.pixelOffset,
                reinterpret_cast<const BITMAPINFO*>(source.data()), DIB_RGB_COLORS, SRCCOPY);
  const auto* start = static_cast<const uint8_t*>(bits);
  pixels->assign(start, start + kBytes);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return S_OK;
}

}  // namespace ksv::wia
