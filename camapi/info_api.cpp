// The small exports: stored counts, clearing, the camera's versions, the
// registry pass-throughs and the audio rate.
#include "camapi/camera_context.h"
#include "support/no_throw.h"

namespace {

using ksv::camapi::BulkContext;

// The connection of a context, or 0.
BULK_HANDLE HandleOf(KXCAMAPI_HANDLE context) {
  return context != nullptr && context->bulk ? context->bulk->handle : 0;
}

int Count(KXCAMAPI_HANDLE context, int* count, int type, int failure, int multiplier = 1) {
  if (context == nullptr || count == nullptr) return KXCAMAPI_NO_CONTEXT;
  const BULK_HANDLE handle = HandleOf(context);
  if (handle == 0) return KXCAMAPI_NO_CONNECTION;
  *count = BULK_GetImgCount_2(handle, type);
  if (BULK_GetErrCode(handle) != BULK_ERR_NONE) return failure;
  *count *= multiplier;
  return KXCAMAPI_OK;
}

int Clear(KXCAMAPI_HANDLE context, int (*clear)(BULK_HANDLE)) {
  if (context == nullptr) return KXCAMAPI_NO_CONTEXT;
  const BULK_HANDLE handle = HandleOf(context);
  if (handle == 0) return KXCAMAPI_NO_CONNECTION;
  return clear(handle) != 0 ? KXCAMAPI_OK : KXCAMAPI_CLEAR_FAILED;
}

int Version(KXCAMAPI_HANDLE context, char* text, int (*read)(BULK_HANDLE, char*), int failure) {
  if (context == nullptr || text == nullptr) return KXCAMAPI_NO_CONTEXT;
  return read(HandleOf(context), text) != 0 ? KXCAMAPI_OK : failure;
}

}  // namespace

extern "C" {

int KXCAMAPI_GetNumHQImg(KXCAMAPI_HANDLE context, int* count) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Count(context, count, BULK_TYPE_HQ_PICTURES, KXCAMAPI_COUNT_HQ_FAILED);
  });
}

int KXCAMAPI_GetNumLQImg(KXCAMAPI_HANDLE context, int* count) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Count(context, count, BULK_TYPE_LQ_PICTURES, KXCAMAPI_COUNT_LQ_FAILED);
  });
}

int KXCAMAPI_GetNumVdoClip(KXCAMAPI_HANDLE context, int* count) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Count(context, count, BULK_TYPE_CLIPS, KXCAMAPI_COUNT_CLIPS_FAILED);
  });
}

int KXCAMAPI_GetNumVdoClip_LoRes(KXCAMAPI_HANDLE context, int* count) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Count(context, count, BULK_TYPE_LORES_CLIPS, KXCAMAPI_COUNT_LORES_FAILED);
  });
}

int KXCAMAPI_GetNumBurst(KXCAMAPI_HANDLE context, int* count) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    // Five pictures a burst.
    return Count(context, count, BULK_TYPE_BURSTS, KXCAMAPI_COUNT_BURSTS_FAILED, 5);
  });
}

int KXCAMAPI_ClearCamera(KXCAMAPI_HANDLE context) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Clear(context, BULK_ClearCamera);
  });
}

int KXCAMAPI_ClearLastOne(KXCAMAPI_HANDLE context) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Clear(context, BULK_ClearLastOne);
  });
}

int KXCAMAPI_GetFWVer(KXCAMAPI_HANDLE context, char* text) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Version(context, text, BULK_GetFWVer, KXCAMAPI_FW_VERSION_FAILED);
  });
}

int KXCAMAPI_GetSensorVer(KXCAMAPI_HANDLE context, char* text) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Version(context, text, BULK_GetSensorVer, KXCAMAPI_SENSOR_VERSION_FAILED);
  });
}

int KXCAMAPI_GetAsicVer(KXCAMAPI_HANDLE context, char* text) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    return Version(context, text, BULK_GetAsicVer, KXCAMAPI_ASIC_VERSION_FAILED);
  });
}

int KXCAMAPI_WriteDriverRegistryDword(KXCAMAPI_HANDLE context, const char* name, DWORD value) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    if (context == nullptr || !context->bulk) return KXCAMAPI_NO_CONTEXT;
    return BULK_WriteDriverRegistryDword(context->bulk->handle, name, value);
  });
}

int KXCAMAPI_WriteDriverRegistryString(KXCAMAPI_HANDLE context, const char* name,
                                       const char* text) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    if (context == nullptr || !context->bulk) return KXCAMAPI_NO_CONTEXT;
    return BULK_WriteDriverRegistryString(context->bulk->handle, name, text);
  });
}

int KXCAMAPI_SetAudioUpSampleRate(KXCAMAPI_HANDLE context, DWORD rate) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    if (context == nullptr || !context->bulk) return KXCAMAPI_NO_CONTEXT;
    context->bulk->upSampleRate = rate;
    return KXCAMAPI_OK;
  });
}

}  // extern "C"
