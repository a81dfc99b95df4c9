// Drawing a whole bitmap, as the window and its buttons do everywhere.
#pragma once

#include "platform/gdi/gdi.h"

namespace ksv::twainui {

// The bitmap's width and height; 0 x 0 for none.
SIZE BitmapSize(HBITMAP bitmap);
// The whole bitmap at (x, y) by the raster operation; nothing for none.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, DWORD rop);

}  // namespace ksv::twainui
