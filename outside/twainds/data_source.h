/* KSVCam.ds, a scanner-interface data source for the camera: the host that
 * loads the scanner-interface control (oksv1ctl.h) as an image application's
 * source manager would have it do, and hands each transferred image to the
 * application. Not part of the camera's software: `ksvcam acquire` loads it
 * (dlopen) and calls these functions by name. One data source is open in a
 * process at a time; everything runs on the thread that opened it. */
#ifndef KSV_OUTSIDE_TWAINDS_DATA_SOURCE_H
#define KSV_OUTSIDE_TWAINDS_DATA_SOURCE_H

#include <stdint.h>

#include "include/ksv_export.h"
#include "include/oksv1ctl.h"
#include "include/win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KsvDataSource* KSVDS_HANDLE;

/* One transferred image: a packed bitmap that stays the data source's (the
 * application copies what it keeps), its place among `total` images. */
typedef void (*KSVDS_ImageCallback)(intptr_t user, HGLOBAL bitmap, int32_t index, int32_t total);

/* Brings the machine's camera up (unless another process holds it), makes
 * the control with `parent` and shows its window when `show` is non-zero.
 * `*cameraReady` gets the control's answer. Null, with a reason in `error`
 * (256 bytes), when the control cannot be made. */
KSV_EXPORT KSVDS_HANDLE KSVDS_Open(HWND parent, int32_t show, KSVDS_ImageCallback callback, intptr_t user,
                                   int32_t* cameraReady, char* error);
KSV_EXPORT KXTWNCTL_HANDLE KSVDS_Control(KSVDS_HANDLE source);
/* The acquisition window (KXTWNCTL_GetHWnd). */
KSV_EXPORT HWND KSVDS_Window(KSVDS_HANDLE source);
/* One picture without a window, transferred at once: the number of images
 * handed on. */
KSV_EXPORT int32_t KSVDS_Capture(KSVDS_HANDLE source);
/* 1 once the person pressed Exit (the data source then closes the control
 * through KSVDS_Close, never from inside the control's callback). */
KSV_EXPORT int32_t KSVDS_Finished(KSVDS_HANDLE source);
/* The transfers made so far. */
KSV_EXPORT int32_t KSVDS_Transferred(KSVDS_HANDLE source);
KSV_EXPORT void KSVDS_Close(KSVDS_HANDLE source);

typedef KSVDS_HANDLE (*KSVDS_OpenFunction)(HWND, int32_t, KSVDS_ImageCallback, intptr_t, int32_t*, char*);
typedef HWND (*KSVDS_WindowFunction)(KSVDS_HANDLE);
typedef int32_t (*KSVDS_CountFunction)(KSVDS_HANDLE);
typedef void (*KSVDS_CloseFunction)(KSVDS_HANDLE);

#ifdef __cplusplus
}
#endif

#endif /* KSV_OUTSIDE_TWAINDS_DATA_SOURCE_H */
