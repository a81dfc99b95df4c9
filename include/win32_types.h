/* The few Windows data types that the exported C interfaces of the camera's
 * libraries use, with the widths Win32 gives them. Handles are pointer-sized. */
#ifndef KSV_INCLUDE_WIN32_TYPES_H
#define KSV_INCLUDE_WIN32_TYPES_H

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void* LPVOID;
typedef void* HGLOBAL; /* a global-memory block (platform/memory) */
typedef struct HINSTANCE__* HINSTANCE; /* a loaded module (platform/module) */
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND; /* a window (platform/ui) */
typedef void* HANDLE;         /* a kernel object: an event (platform/sync) */
typedef int16_t SHORT;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef WORD ATOM;
typedef int32_t HRESULT; /* a COM result (platform/com/hresult.h): negative fails */

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT;

typedef struct tagSIZE {
  LONG cx;
  LONG cy;
} SIZE;

/* A time as 100-nanosecond intervals since 1601, in two halves. */
typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/* A wait, or a delay, without end. */
#define INFINITE 0xFFFFFFFFu

/* The header of a device-independent bitmap, as it lies at the start of a
 * packed bitmap in memory (40 bytes, no padding). */
typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight; /* positive: rows bottom-up */
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

/* One colour-table entry of a bitmap. */
typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

#define BI_RGB 0u

#ifdef __cplusplus
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD must be 4 bytes");
static_assert(sizeof(RECT) == 16, "RECT must be 16 bytes");
#endif

#endif /* KSV_INCLUDE_WIN32_TYPES_H */
