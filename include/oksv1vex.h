/* OKSV1Vex: the camera's settings pages for the platform's video-capture
 * driver mapper, which loads the library and asks it for pages to add to
 * its "Video Source" dialog. The library reads the camera it serves from
 * OKSV1Vex.pro beside itself in the system folder (section USB_CAMERA,
 * DEVICE_NAME and VID_PID) and its texts from OKSV1Vex.loc. */
#ifndef KSV_INCLUDE_OKSV1VEX_H
#define KSV_INCLUDE_OKSV1VEX_H

#include <stdint.h>

#include "ksv_export.h"

#ifdef __cplusplus
extern "C" {
#endif

struct _PSP;
/* The mapper's callback: takes one page handle; nonzero when taken. */
typedef int32_t (*VFW_ADD_PAGE)(struct _PSP* page, intptr_t callbackData);

/* What the result says: pages were added; the mapper's own settings and
 * camera-control pages are to be hidden. */
#define VFW_OEM_ADD_PAGE 0x80000000u
#define VFW_HIDE_SETTINGS_PAGE 0x00000001u
#define VFW_HIDE_VIDEOSRC_PAGE 0x00000002u
#define VFW_HIDE_CAMERACONTROL_PAGE 0x00000004u

/* Hands the three pages to `addPage` with `callbackData`, in the order
 * Device Settings, Camera Controls, Anti Flicker, and returns
 * VFW_OEM_ADD_PAGE|VFW_HIDE_SETTINGS_PAGE|VFW_HIDE_CAMERACONTROL_PAGE
 * (0x80000005); 0 when the library has no camera (its profile names none, or
 * the camera cannot be reached) or a page cannot be made. `mapperData` is
 * the mapper's and is only kept. */
KSV_EXPORT uint32_t VFWWDMExtension(void* mapperData, VFW_ADD_PAGE addPage, intptr_t callbackData);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1VEX_H */
