// KXCAMAPI_GetVideoFrame: the first frame of the clip just made, from the
// clip's information file and its frame bitmaps in the clip work folder.
#include "camapi/camera_context.h"
#include "camapi/clip_files.h"
#include "support/no_throw.h"

extern "C" HGLOBAL KXCAMAPI_GetVideoFrame(KXCAMAPI_HANDLE context) {
  return ksv::support::NoThrow<HGLOBAL>(nullptr, [&]() -> HGLOBAL {
    if (context == nullptr || ksv::camapi::KsvMode()) return nullptr;
    if (context->itemIndex >= ksv::camapi::kMaxClips) return nullptr;
    try {
      return ksv::camapi::LoadClipFrame(context->clipInfoPaths[context->itemIndex],
                                        context->clipFolder, 1);
    } catch (const std::exception&) {  // out of memory
      return nullptr;
    }
  });
}
