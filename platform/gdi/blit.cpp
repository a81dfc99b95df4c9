// Blits between device contexts and from DIBs in memory.
#include <cstring>
#include <optional>

#include "platform/gdi/objects.h"
#include "platform/sync/sync.h"

namespace ksv::platform::gdi {
namespace {

// A source DC's pixels as 24 bits: a 1-bit bitmap takes the destination's
// text (0) and background (1) colours; a window's pixels are copied, as
// are those of the destination's own bitmap.
struct SourcePixels {
  Image owned;
  PixelView view;
  POINT origin{};
};

std::optional<SourcePixels> SourceOf(DcObject& source, const DcObject& destination) {
  SourcePixels pixels;
  if (source.target != nullptr) {
    source.target->Draw([&](const PixelView& view) {
      pixels.owned = Image(view.width, view.height, 24, true);
      for (int y = 0; y < view.height; ++y) {
        std::memcpy(pixels.owned.View().Row(y), view.Row(y), 3 * size_t(view.width));
      }
    });
    pixels.view = pixels.owned.View();
    pixels.origin = source.origin;
    return pixels;
  }
  if (source.bitmap == nullptr) return std::nullopt;
  PixelView view = source.bitmap->image.View();
  if (view.bitsPerPixel == 1) {
    pixels.owned = MonoToColour(view, destination.textColour, destination.backColour);
    pixels.view = pixels.owned.View();
  } else if (source.bitmap == destination.bitmap) {
    pixels.owned = source.bitmap->image;
    pixels.view = pixels.owned.View();
  } else {
    pixels.view = view;
  }
  return pixels;
}

BOOL Blit(HDC dcHandle, const RECT& to, HDC sourceHandle, const RECT& from, DWORD rop) {
  const auto dc = Get<DcObject>(dcHandle);
  const auto source = Get<DcObject>(sourceHandle);
  if (dc == nullptr || source == nullptr || !RopKept(rop)) {
    SetLastError(dc == nullptr || source == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::optional<SourcePixels> pixels = SourceOf(*source, *dc);
  if (!pixels) return FALSE;
  const RECT shiftedFrom{from.left + pixels->origin.x, from.top + pixels->origin.y,
                         from.right + pixels->origin.x, from.bottom + pixels->origin.y};
  return DrawOn(*dc, [&](const PixelView& view, const Region& clip, POINT origin) {
           const RECT shiftedTo{to.left + origin.x, to.top + origin.y, to.right + origin.x, to.bottom + origin.y};
           BlitPixels(view, clip, shiftedTo, pixels->view, shiftedFrom, rop);
         })
             ? TRUE
             : FALSE;
}

// Draws a DIB: the source rectangle's y counts from the image's bottom row.
int DrawDib(HDC dcHandle, const RECT& to, int sourceX, int sourceY, int sourceWidth, int sourceHeight,
            const DibSource& dib, DWORD rop) {
  const auto dc = Get<DcObject>(dcHandle);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Image image = DibToColour(dib);
  if (image.width() == 0 || !RopKept(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int top = image.height() - sourceY - sourceHeight;
  RECT from{sourceX, top, sourceX + sourceWidth, top + sourceHeight};
  RECT target = to;
  // Rows outside the band at `bits` are left as they are (unstretched only).
  const int64_t bandTop = dib.info->bmiHeader.biHeight > 0
                              ? int64_t{image.height()} - dib.firstRow - dib.rows
                              : int64_t{dib.firstRow};
  const int64_t bandBottom = bandTop + dib.rows;
  if (from.top < bandTop) {
    target.top += static_cast<LONG>(bandTop - from.top);
    from.top = static_cast<LONG>(bandTop);
  }
  if (from.bottom > bandBottom) {
    target.bottom -= static_cast<LONG>(from.bottom - bandBottom);
    from.bottom = static_cast<LONG>(bandBottom);
  }
  const PixelView source = image.View();
  const bool drawn = DrawOn(*dc, [&](const PixelView& view, const Region& clip, POINT origin) {
    const RECT shifted{target.left + origin.x, target.top + origin.y, target.right + origin.x,
                       target.bottom + origin.y};
    BlitPixels(view, clip, shifted, source, from, rop);
  });
  return drawn ? static_cast<int>(dib.rows) : 0;
}

}  // namespace
}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  return Blit(dc, RECT{x, y, x + width, y + height}, source,
              RECT{sourceX, sourceY, sourceX + width, sourceY + height}, rop);
}

BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
  if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0) {  // no mirroring here
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Blit(dc, RECT{x, y, x + width, y + height}, source,
              RECT{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight}, rop);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
  if (usage != DIB_RGB_COLORS || info == nullptr || width < 0 || height < 0 || sourceWidth < 0 ||
      sourceHeight < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LONG rows = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
  const DibSource dib{info, static_cast<const uint8_t*>(bits), 0, static_cast<UINT>(rows)};
  return DrawDib(dc, RECT{x, y, x + width, y + height}, sourceX, sourceY, sourceWidth, sourceHeight, dib, rop);
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  if (usage != DIB_RGB_COLORS || info == nullptr || width > DWORD(kMaxSide) || height > DWORD(kMaxSide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const DibSource dib{info, static_cast<const uint8_t*>(bits), startScan, lines};
  return DrawDib(dc, RECT{x, y, x + w, y + h}, sourceX, sourceY, w, h, dib, SRCCOPY);
}

}  // extern "C"
