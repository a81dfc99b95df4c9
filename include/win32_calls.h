/* The Win32 calls a program needs around the libraries' exports: a module
 * handle and a window for KXCAMAPI_Init, and freeing the global-memory
 * bitmaps the libraries hand out. They are the platform stand-ins' own
 * functions (libraries ksv_platform_module, ksv_platform_memory and
 * ksv_platform_ui; pkg-config package ksv-win32), declared here for C. */
#ifndef KSV_INCLUDE_WIN32_CALLS_H
#define KSV_INCLUDE_WIN32_CALLS_H

#include "win32_types.h"

typedef struct HMENU__* HMENU;

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#ifdef __cplusplus
extern "C" {
#endif

/* Modules. A null `name` is the program itself; a library of the system
 * such as "OKSV1API.DLL" is found by its file name (any case) and lives,
 * as the system sees it, in the system folder under $KSV_ROOT, so what a
 * library keeps beside its module (the clip work folder "RM900Clp") is
 * written there. */
HMODULE GetModuleHandleA(const char* name);
/* The module's full path into `buffer` of `size` bytes; the characters
 * copied, 0 for an unknown module. */
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

/* Global memory: a bitmap a library returns is the caller's to free. */
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);

/* Windows: the standard classes ("STATIC", "BUTTON" ...) are always there,
 * so CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, NULL, NULL, module,
 * NULL) gives a window to hand to a library. Only the creating thread
 * destroys it. */
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND window);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_WIN32_CALLS_H */
