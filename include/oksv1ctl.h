/* OKSV1Ctl, the scanner-interface control: the logic behind the camera's
 * acquisition window (oksv1ui.h). A scanner-interface data source that
 * lies in the same folder as this library (a "*.DS" file there, whose
 * ".pro" and ".loc" files the control reads) makes one control, shows its
 * window, and, when the control calls back with KXTWNCTL_TRANSFER or
 * KXTWNCTL_TRANSFER_ALL, pulls the images as packed bitmaps; on
 * KXTWNCTL_EXIT it destroys the control (after the callback has returned).
 *
 * Everything runs on the thread that created the control, which pumps its
 * messages. Every function given a null handle does nothing and returns 0. */
#ifndef KSV_INCLUDE_OKSV1CTL_H
#define KSV_INCLUDE_OKSV1CTL_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TwainControl* KXTWNCTL_HANDLE;

/* The events of the application callback. */
#define KXTWNCTL_EXIT 1000
#define KXTWNCTL_TRANSFER 1001
#define KXTWNCTL_TRANSFER_ALL 1002

typedef void (*KXTWNCTL_ApplicationCallback)(int32_t event);

/* Makes the control and its (hidden) window, and starts the live preview
 * when the camera is there and free. `*cameraReady` gets 1 then, else 0 (a
 * message box has said why). `playback` lets a clip thumbnail's double
 * click open the clip. Null when the data source's files are missing or
 * incomplete, or the window cannot be made. */
KSV_EXPORT KXTWNCTL_HANDLE KXTWNCTL_Create(int32_t reserved, HWND parent, int32_t* cameraReady, int32_t playback);
KSV_EXPORT int32_t KXTWNCTL_Destroy(KXTWNCTL_HANDLE control);
KSV_EXPORT int32_t KXTWNCTL_SetCallback(KXTWNCTL_HANDLE control, KXTWNCTL_ApplicationCallback callback);
KSV_EXPORT int32_t KXTWNCTL_Show(KXTWNCTL_HANDLE control, int32_t command);
KSV_EXPORT HWND KXTWNCTL_GetHWnd(KXTWNCTL_HANDLE control);
/* The images a transfer takes, and each one's size and bitmap (index 0 to
 * the count - 1); the caller frees a bitmap with GlobalFree. */
KSV_EXPORT int32_t KXTWNCTL_GetTotalSelectedImg(KXTWNCTL_HANDLE control);
KSV_EXPORT int32_t KXTWNCTL_GetImgDim(KXTWNCTL_HANDLE control, int32_t index, int32_t* width, int32_t* height);
KSV_EXPORT HGLOBAL KXTWNCTL_GetDIB(KXTWNCTL_HANDLE control, int32_t index);
/* Shows (show non-zero) or hides the status window with "current / total". */
KSV_EXPORT void KXTWNCTL_TransferProgress(KXTWNCTL_HANDLE control, int32_t current, int32_t total, int32_t show);
/* Takes one snapshot without showing the window; the data source then
 * takes it as a transfer of one image. 1. */
KSV_EXPORT int32_t KXTWNCTL_UIlessCapture(KXTWNCTL_HANDLE control);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1CTL_H */
