// The preview's caption: each call goes to the caption filter's control.
#include "support/no_throw.h"
#include "graph/graph_routines.h"

using namespace ksv::graph;

namespace {

ICaptionControl* CaptionOf(QmgHandle* handle) {
  return handle != nullptr && handle->graph != nullptr ? handle->graph->caption.Get() : nullptr;
}

int32_t Succeeded(HRESULT result) { return result == S_OK ? 1 : 0; }

}  // namespace

extern "C" {

KSV_EXPORT int32_t QMG_GetVideoCaption(QmgHandle* handle, char** caption) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    ICaptionControl* control = CaptionOf(handle);
    if (control == nullptr || caption == nullptr) return 0;
    return Succeeded(control->GetCaption(caption));
  });
}

KSV_EXPORT int32_t QMG_SetVideoCaption(QmgHandle* handle, const char* caption) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    ICaptionControl* control = CaptionOf(handle);
    if (control == nullptr || caption == nullptr) return 0;
    return Succeeded(control->SetCaption(caption));
  });
}

KSV_EXPORT int32_t QMG_IsVideoCaptioning(QmgHandle* handle, BOOL* on) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    ICaptionControl* control = CaptionOf(handle);
    if (control == nullptr || on == nullptr) return 0;
    return Succeeded(control->IsCaptioning(on));
  });
}

KSV_EXPORT int32_t QMG_SetVideoCaptionFont(QmgHandle* handle, LONG height, DWORD colour, DWORD background, LONG x,
                                           LONG y) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    ICaptionControl* control = CaptionOf(handle);
    if (control == nullptr || height == 0) return 0;
    return Succeeded(control->SetCaptionFont(height, colour, background, x, y));
  });
}

KSV_EXPORT int32_t QMG_GetStreamFromVideoText(QmgHandle* handle, const char* text, BYTE* bits, DWORD* size,
                                              BITMAPINFOHEADER* header) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    ICaptionControl* control = CaptionOf(handle);
    if (control == nullptr || text == nullptr || size == nullptr || header == nullptr) return 0;
    return Succeeded(control->GetStreamFromVideoText(text, bits, size, header));
  });
}

}  // extern "C"
