// A clip of the per-item download: its frames decoded to bitmap files and
// assembled into an AVI file by the media graph library.
#pragma once

#include "camapi/camera_context.h"
#include "camapi/item_headers.h"

namespace ksv::camapi {

// The item hook's handling of a fetched clip (kItemGoOn, kItemCancelled or
// kItemFailed). A clip past the 256th of the context is skipped.
int HandleItemClip(CameraContext& context, const PerItemHeader& header);

// The clip frame hook: saves the frame in decodeBuffer as the clip's next
// frame bitmap file (320 x 240 through frameBitmap; 160 x 128 cut to its
// top 160 x 120; any other size as it is).
FrameHookResult SaveClipFrameHook(CameraContext& context);

}  // namespace ksv::camapi
