// The property library's calls as the pages make them: a table the front
// ends fill with OKSV1If's functions, so that every call the pages make goes
// through one place (and a test can count them on their way).
#pragma once

#include "include/oksv1if.h"

namespace ksv::pages {

struct PropertyCalls {
  DS2WDM_HANDLE (*init)();
  void (*reset)(DS2WDM_HANDLE);
  int32_t (*videoProcAmpRange)(DS2WDM_HANDLE, int32_t, DS2WDM_RANGE*);
  int32_t (*getVideoProcAmp)(DS2WDM_HANDLE, int32_t, int32_t*, int32_t*);
  int32_t (*setVideoProcAmp)(DS2WDM_HANDLE, int32_t, int32_t, int32_t);
  int32_t (*cameraControlRange)(DS2WDM_HANDLE, int32_t, DS2WDM_RANGE*);
  int32_t (*getCameraControl)(DS2WDM_HANDLE, int32_t, int32_t*, int32_t*);
  int32_t (*setCameraControl)(DS2WDM_HANDLE, int32_t, int32_t, int32_t);
  int32_t (*getFlicker)(DS2WDM_HANDLE, int32_t*);
  int32_t (*setFlicker)(DS2WDM_HANDLE, int32_t);
};

// OKSV1If's own functions.
inline constexpr PropertyCalls kLibraryCalls = {
    DS2WDM_Init,           DS2WDM_Reset,           DS2WDM_GetVideoProcAmpRange, DS2WDM_GetVideoProcAmp,
    DS2WDM_SetVideoProcAmp, DS2WDM_GetCameraControlRange, DS2WDM_GetCameraControl, DS2WDM_SetCameraControl,
    DS2WDM_Get_FLICKER,     DS2WDM_Set_FLICKER,
};

}  // namespace ksv::pages
