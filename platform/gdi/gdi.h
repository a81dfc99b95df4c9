// Drawing as Win32's GDI offers it, as far as the camera's windows draw:
// device contexts over 24-bit bitmaps laid out exactly as device-independent
// bitmaps, blits with the raster operations SRCCOPY, SRCAND, SRCPAINT and
// SRCINVERT, colour-on-colour stretching, solid brushes and pens, edges,
// regions and text in one font.
//
// Where this differs from the platform:
// - Every device is 24 bits a pixel. A 1-bit bitmap (CreateBitmap) is a
//   source only: drawn onto colour it takes the destination's text colour
//   for 0 and its background colour for 1, as the platform documents.
// - Text is DejaVu Sans, whatever face a font names ("MS Sans Serif", the
//   icon-title font), rendered by FreeType without anti-aliasing, so the
//   pixels are the same on every machine; weight, italics, underline and
//   strike-out are not drawn. Text is UTF-8. The font file is
//   /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf unless KSV_FONT_FILE
//   names another.
// - Only the mapping mode MM_TEXT exists (logical units are pixels).
// - Handles of every kind come from one table and are never reused.
//
// Threads: any thread may make and use objects; one device context is used
// by one thread at a time, as on the platform.
#pragma once

#include "include/win32_types.h"

typedef struct HDC__* HDC;
typedef void* HGDIOBJ;  // any of the handles below, as on the platform
typedef struct HBITMAP__* HBITMAP;
typedef struct HBRUSH__* HBRUSH;
typedef struct HPEN__* HPEN;
typedef struct HFONT__* HFONT;
typedef struct HRGN__* HRGN;
typedef DWORD COLORREF;
typedef char CHAR;

#define RGB(r, g, b) \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(rgb) (static_cast<BYTE>(rgb))
#define GetGValue(rgb) (static_cast<BYTE>((rgb) >> 8))
#define GetBValue(rgb) (static_cast<BYTE>((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFFu
#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(-1)))

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO;

inline constexpr int LF_FACESIZE = 32;
typedef struct tagLOGFONTA {
  LONG lfHeight;  // negative: the characters' height; positive: the cell's
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA;

typedef struct tagLOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
} LOGBRUSH;

// Region data, as a region resource holds it: this 32-byte header, then
// nCount rectangles (16 bytes each), all little-endian.
typedef struct _RGNDATAHEADER {
  DWORD dwSize;  // 32
  DWORD iType;   // RDH_RECTANGLES
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
} RGNDATAHEADER;
typedef struct _RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
} RGNDATA;
typedef struct tagXFORM XFORM;

// Raster operations.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
// Stretching modes (COLORONCOLOR is the only one kept; the others draw as it).
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
// Bitmap colour tables.
inline constexpr UINT DIB_RGB_COLORS = 0;
// Pens and brushes.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;
inline constexpr UINT BS_SOLID = 0;
// Region combinations and kinds.
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
inline constexpr DWORD RDH_RECTANGLES = 1;
// DrawTextA formats.
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;
// DrawEdge: which lines, and which sides.
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
inline constexpr UINT BF_MIDDLE = 0x0800;
inline constexpr UINT BF_ADJUST = 0x2000;
// System colours (the platform's "Windows Standard" scheme).
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
// SystemParametersInfoA.
inline constexpr UINT SPI_GETICONTITLELOGFONT = 0x001F;
// Resource types (LoadBitmapA asks for RT_BITMAP).
#define RT_BITMAP MAKEINTRESOURCEA(2)
#ifndef MAKEINTRESOURCEA
#define MAKEINTRESOURCEA(id) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#endif

extern "C" {

// Device contexts. A memory DC starts with a 1 x 1 monochrome bitmap,
// a white brush, a black pen, the system font (DejaVu Sans, 16-pixel
// cells), black text on an opaque white background. Window DCs come from
// GetDC and BeginPaint (platform/ui/user32.h).
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
// Puts a bitmap, brush, pen or font into the DC and returns the one it
// replaces; for a region, the DC's clipping becomes a copy of it (the
// result is the region's kind). A bitmap goes into one memory DC at a time.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// An object still selected into a DC stays usable by that DC until it is
// replaced; the handle is gone at once. Stock objects are never deleted.
BOOL DeleteObject(HGDIOBJ object);
// Fills BITMAP (bitmaps; bmBits for a DIB section), LOGFONTA (fonts) or
// LOGBRUSH (brushes); with a null buffer, the size it needs.
int GetObjectA(HGDIOBJ object, int size, void* buffer);

COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
int SetStretchBltMode(HDC dc, int mode);

// Bitmaps. Compatible bitmaps are 24 bits a pixel (1 bit when the DC holds
// a monochrome bitmap, as on the platform), black. CreateBitmap makes
// 1-bit bitmaps from rows padded to 2 bytes (and 24-bit ones, padded to 4).
// A DIB section is a 24-bit DIB whose pixels the caller reads and writes
// through `bits` (rows bottom-up for a positive height, padded to 4 bytes).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A bitmap resource of the module (a packed DIB of 1, 4, 8 or 24 bits),
// as a 24-bit bitmap; null (ERROR_RESOURCE_NAME_NOT_FOUND) without it.
HBITMAP LoadBitmapA(HINSTANCE instance, const char* name);

// Blits. The source rectangle's pixels are combined with the destination's
// by the raster operation (bitwise on each colour byte); a 1-bit source
// takes the destination's text (0) and background (1) colours. Clipped to
// the source bitmap and the destination's clipping.
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
// Stretches by whole pixels (each destination pixel takes the source pixel
// under its centre). Positive sizes only.
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
// From a packed DIB of 1, 4, 8 or 24 bits (bottom-up or top-down). As on
// the platform, the source rectangle's y counts from the image's bottom
// row. Returns the scan lines drawn, 0 on failure.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop);
// `lines` rows from `startScan` (counted from the image's bottom row) are
// at `bits`; (sourceX, sourceY) is the source rectangle's lower-left corner.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);

// Brushes, pens and shapes. Rectangles exclude their right and bottom edges.
HBRUSH CreateSolidBrush(COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);  // 1-pixel lines whatever the width
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);  // a stock brush
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
// Each line one pixel wide: the top and left of a raised line in its light
// colour, the bottom and right in its dark one, a sunken line the other way.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// A line from the current position up to (x, y), that point not drawn.
BOOL LineTo(HDC dc, int x, int y);

// Text.
HFONT CreateFontIndirectA(const LOGFONTA* font);
// SPI_GETICONTITLELOGFONT: "MS Sans Serif", 8 points (11 pixels) at 96 dpi.
BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT winIni);
// (x, y) is the top left of the text's cell; an opaque background fills
// the cell first.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
// Lines end at "\n" (no word breaks); "&" marks a mnemonic unless
// DT_NOPREFIX ("&&" is "&"; the underline is not drawn). Returns the text's
// height; DT_CALCRECT only measures, setting the rectangle's right and
// bottom. A length of -1 means up to the terminating zero.
int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);

// Regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
// From region data of `size` bytes (a transform is refused); null with
// ERROR_INVALID_PARAMETER for data that does not hold what its header says.
HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data);
// `destination` (an existing region) becomes the combination; returns its
// kind, RGN_ERROR on failure.
int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode);
BOOL PtInRegion(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* box);

}  // extern "C"
