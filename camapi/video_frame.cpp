// KXCAMAPI_GetVideoFrame: the first frame of the clip just made, from the
// clip's information file and its frame bitmaps in the clip work folder.
#include "camapi/camera_context.h"
#include "common/bitmap_file.h"
#include "common/profile_text.h"

extern "C" HGLOBAL KXCAMAPI_GetVideoFrame(KXCAMAPI_HANDLE context) {
  if (context == nullptr || ksv::camapi::KsvMode()) return nullptr;
  if (context->itemIndex >= ksv::camapi::kMaxClips) return nullptr;
  const std::string& infoFile = context->clipInfoPaths[context->itemIndex];
  if (infoFile.empty()) return nullptr;  // no clip made yet
  try {
    const auto name = ksv::common::ProfileText(infoFile, "CLIP_FILE", "1");
    // A frame file is a plain name in the clip work folder.
    if (!name || name->empty() || name->find('/') != std::string::npos) return nullptr;
    return ksv::common::ReadBitmapFile((context->clipFolder + *name).c_str());
  } catch (const std::exception&) {  // out of memory
    return nullptr;
  }
}
