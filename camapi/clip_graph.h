// A clip of the all-items stream converted to an AVI file with its sound:
// the download source filter plays the prepared clip, the Vexel 5 encoder
// compresses the video, the sample-rate converter makes the sound 22,050 Hz
// mono 16-bit, and the AVI Mux and File Writer write the file at the
// context's path buffer.
#pragma once

#include "camapi/camera_context.h"
#include "include/win32_types.h"
#include "platform/com/hresult.h"

namespace ksv::camapi {

// The HRESULTs a clip conversion ends with, besides S_OK, E_FAIL (a filter
// missing, a connection refused, the graph stopped on an error) and
// E_INVALIDARG (no clip to play).
inline constexpr HRESULT kClipDiskFull = static_cast<HRESULT>(0x800405D3u);
inline constexpr HRESULT kClipCancelled = static_cast<HRESULT>(0x80004004u);  // E_ABORT

// Converts the clip at context.bulk->clipHeader, pumping the thread's
// messages and calling the context's progress callback every 10 ms while
// the graph runs (an answer other than 0 sets the cancel flag and stops).
HRESULT RunClipAviGraph(CameraContext& context);

}  // namespace ksv::camapi
