/* OKSV1If, the camera's property library: the picture controls of the
 * camera's driver (its video-processing-amplifier and camera-control
 * properties) and the anti-flicker mode, for the camera's settings pages.
 *
 * DS2WDM_Init reaches the driver this process already runs (a program that
 * streams the camera), else starts the machine's camera itself; every other
 * call takes the handle it returned. */
#ifndef KSV_INCLUDE_OKSV1IF_H
#define KSV_INCLUDE_OKSV1IF_H

#include <stdint.h>

#include "ksv_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Ds2WdmCamera* DS2WDM_HANDLE;

/* A property's range as the driver declares it. */
typedef struct {
  int32_t minimum;
  int32_t maximum;
  int32_t delta;        /* stepping */
  int32_t defaultValue;
  int32_t capsFlags;    /* bit 0: the property has an automatic mode */
} DS2WDM_RANGE;

/* The flags of the get and set calls. */
#define DS2WDM_FLAGS_AUTO 1
#define DS2WDM_FLAGS_MANUAL 2

/* The anti-flicker modes. */
#define DS2WDM_FLICKER_50HZ 0
#define DS2WDM_FLICKER_60HZ 1
#define DS2WDM_FLICKER_OUTDOOR 2

/* Null when no camera can be reached (none on the machine, no driver
 * registered, the camera does not start). */
KSV_EXPORT DS2WDM_HANDLE DS2WDM_Init(void);
/* Releases the handle (and the camera, when Init started it). Null is
 * accepted. */
KSV_EXPORT void DS2WDM_Reset(DS2WDM_HANDLE handle);

/* 0 when the driver declares the property (`range` filled); nonzero when
 * it does not, or for a bad handle or a null range. Property numbers are
 * those of the platform's property sets (brightness 0 ... backlight
 * compensation 8; pan 0 ... focus 6). */
KSV_EXPORT int32_t DS2WDM_GetVideoProcAmpRange(DS2WDM_HANDLE handle, int32_t property, DS2WDM_RANGE* range);
/* 0 with the value and flags read; nonzero when the driver refuses. */
KSV_EXPORT int32_t DS2WDM_GetVideoProcAmp(DS2WDM_HANDLE handle, int32_t property, int32_t* value, int32_t* flags);
/* 0 when the driver took the value; nonzero when it refuses (a value out
 * of range, an undeclared property). */
KSV_EXPORT int32_t DS2WDM_SetVideoProcAmp(DS2WDM_HANDLE handle, int32_t property, int32_t value, int32_t flags);
KSV_EXPORT int32_t DS2WDM_GetCameraControlRange(DS2WDM_HANDLE handle, int32_t property, DS2WDM_RANGE* range);
KSV_EXPORT int32_t DS2WDM_GetCameraControl(DS2WDM_HANDLE handle, int32_t property, int32_t* value, int32_t* flags);
KSV_EXPORT int32_t DS2WDM_SetCameraControl(DS2WDM_HANDLE handle, int32_t property, int32_t value, int32_t flags);

/* The anti-flicker mode, kept in the machine registry beside the driver's
 * settings (value "Anti Flicker" of the driver's key), so it holds for
 * later runs; 50 Hz when none is kept. The driver has no such property: the
 * camera's picture does not change with it. Set refuses (nonzero) a mode
 * other than 0, 1 and 2. */
KSV_EXPORT int32_t DS2WDM_Get_FLICKER(DS2WDM_HANDLE handle, int32_t* mode);
KSV_EXPORT int32_t DS2WDM_Set_FLICKER(DS2WDM_HANDLE handle, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1IF_H */
