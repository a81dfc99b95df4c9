/* OKSV1Cap, the camera's preview library: the live picture of a video
 * capture device drawn in a rectangle of a window. Its handle is a media
 * graph library handle (oksv1gra.h), so QMG_Stop and the other QMG_ calls
 * work on it too. Every call is meant for the thread that called
 * KXCAP_Init, which pumps its messages while the preview runs. Each returns
 * 1 for success and 0 for failure, also for a null handle. */
#ifndef KSV_INCLUDE_OKSV1CAP_H
#define KSV_INCLUDE_OKSV1CAP_H

#include <stdint.h>

#include "ksv_export.h"
#include "oksv1gra.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A handle whose hidden window is a child of `parent`; null when it cannot
 * be made. */
KSV_EXPORT QmgHandle* KXCAP_Init(HINSTANCE instance, HWND parent);
/* Where the picture goes: a rectangle of `window`'s client area. Kept for a
 * preview built later, applied at once to one already built. */
KSV_EXPORT int32_t KXCAP_SetViewWnd(QmgHandle* handle, HWND window, int32_t left, int32_t top, int32_t width,
                                    int32_t height);
/* Builds the preview of the capture device `deviceName` streaming
 * width x height in the FOURCC `fourCc` (0: the device's default). */
KSV_EXPORT int32_t KXCAP_BuildPreview(QmgHandle* handle, const char* deviceName, int32_t width, int32_t height,
                                      uint32_t fourCc);
KSV_EXPORT int32_t KXCAP_StartPreview(QmgHandle* handle);
/* Stops the preview, releases the camera (its stream closed, so another
 * library can use it) and frees the handle. 1 for a null handle too. */
KSV_EXPORT int32_t KXCAP_Reset(QmgHandle* handle);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1CAP_H */
