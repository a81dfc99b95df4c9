// The preview library: a thin layer over the media graph library, whose
// handle it hands out, so the caller may stop the preview with QMG_Stop.
#include <mutex>
#include <unordered_map>

#include "include/oksv1cap.h"
#include "include/oksv1gra.h"
#include "support/no_throw.h"

using ksv::support::NoThrow;

namespace {

// Where each handle's picture goes, until its preview is built.
struct ViewPlace {
  HWND window = nullptr;
  int32_t left = 0, top = 0, width = 0, height = 0;
};

std::mutex placesLock;
std::unordered_map<QmgHandle*, ViewPlace> places;

ViewPlace PlaceOf(QmgHandle* handle) {
  std::lock_guard guard(placesLock);
  const auto found = places.find(handle);
  return found == places.end() ? ViewPlace{} : found->second;
}

}  // namespace

extern "C" {

KSV_EXPORT QmgHandle* KXCAP_Init(HINSTANCE instance, HWND parent) {
  return NoThrow<QmgHandle*>(nullptr, [&] { return QMG_Init(instance, parent); });
}

KSV_EXPORT int32_t KXCAP_SetViewWnd(QmgHandle* handle, HWND window, int32_t left, int32_t top, int32_t width,
                                    int32_t height) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || window == nullptr || width <= 0 || height <= 0) return 0;
    {
      std::lock_guard guard(placesLock);
      places[handle] = {window, left, top, width, height};
    }
    // Before a graph is built there is no video window to place yet.
    if (QMG_GetMediaState(handle) == QMG_STATE_NONE) return 1;
    return QMG_SetViewWnd(handle, window, left, top, width, height);
  });
}

KSV_EXPORT int32_t KXCAP_BuildPreview(QmgHandle* handle, const char* deviceName, int32_t width, int32_t height,
                                      uint32_t fourCc) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || deviceName == nullptr) return 0;
    const QmgVideoFormat format{width, height, fourCc};
    const bool sized = width > 0 && height > 0;
    if (QMG_BuildPreview(handle, deviceName, sized ? &format : nullptr) == 0) return 0;
    const ViewPlace place = PlaceOf(handle);
    if (place.window != nullptr &&
        QMG_SetViewWnd(handle, place.window, place.left, place.top, place.width, place.height) == 0) {
      return 0;
    }
    return 1;
  });
}

KSV_EXPORT int32_t KXCAP_StartPreview(QmgHandle* handle) {
  return NoThrow<int32_t>(0, [&] { return handle == nullptr ? 0 : QMG_Play(handle); });
}

KSV_EXPORT int32_t KXCAP_Reset(QmgHandle* handle) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr) return 1;
    {
      std::lock_guard guard(placesLock);
      places.erase(handle);
    }
    // The graph goes with the handle: the capture filter closes the camera's
    // stream and lets the camera go.
    QMG_Stop(handle);
    return QMG_Reset(handle);
  });
}

}  // extern "C"
