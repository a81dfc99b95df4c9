// A clip's frame bitmap files and its information file: each saved frame
// is a bitmap file under a fresh temporary name ("CLP" prefix) in the clip
// work folder, listed under its number in section CLIP_FILE of the clip's
// information file (the clipInfoPaths entry at itemIndex).
#pragma once

#include <cstdint>

#include "camapi/camera_context.h"
#include "include/win32_types.h"
#include "platform/com/hresult.h"

namespace ksv::camapi {

// Writes `bitmap` (a packed bitmap, which stays the caller's) as a frame
// bitmap file in the clip work folder and adds key `number` (decimal) with
// the file's quoted name to section CLIP_FILE of the current clip's
// information file. False when the file or the key could not be written
// (a file written without its key is deleted).
bool SaveClipFrame(CameraContext& context, HGLOBAL bitmap, uint32_t number);

}  // namespace ksv::camapi
