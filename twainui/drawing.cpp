#include "twainui/drawing.h"

namespace ksv::twainui {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, DWORD rop) {
  if (bitmap == nullptr) return;
  const SIZE size = BitmapSize(bitmap);
  const HDC memory = CreateCompatibleDC(dc);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, x, y, size.cx, size.cy, memory, 0, 0, rop);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace ksv::twainui
