/* OKSV1Dep: the camera's settings pages ("Device Settings", "Camera
 * Controls", "Anti Flicker") in a modal dialog of their own, for the
 * scanner-interface control. Every change reaches the camera at once. */
#ifndef KSV_INCLUDE_OKSV1DEP_H
#define KSV_INCLUDE_OKSV1DEP_H

#include <stdint.h>

#include "ksv_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the pages for the camera `deviceName` (with its VID/PID text, both
 * kept, not shown) with the texts of the localization file
 * `localizationName` in the system folder (English where it has none), and
 * returns when the dialog is closed: 1, or 0 when the camera or the pages
 * cannot be had (nothing is shown then). */
KSV_EXPORT int32_t KXDSEXPG_Open(const char* deviceName, const char* vidPid, const char* localizationName);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1DEP_H */
