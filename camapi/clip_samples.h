// The process-wide clip sample source: the stored clip the sample functions
// (include/oksv1api_samples.h) play to the download source filter while the
// clip graph converts it. The stream download prepares it just before it
// builds the graph and releases it at the graph's teardown; one clip is
// played at a time in a process.
#pragma once

#include "camapi/camera_context.h"
#include "include/win32_types.h"
#include "platform/com/hresult.h"

namespace ksv::camapi {

// Makes the clip at context.bulk->clipHeader (its 64-byte stored-item
// header, then its chunks; context.bulk->clipBytes bytes in all, header
// included) the one the sample functions play: prepares the context's
// decoder for the clip's frame size with its quantisation table, reads
// "Sync Frames" and sets up the audio buffers. The context, its bulk side
// and the clip bytes must stay in place until ReleaseClipSamples. 0, or
// E_INVALIDARG without a bulk side or a clip header.
HRESULT PrepareClipSamples(CameraContext& context);

// Forgets the clip and frees the audio buffers; the sample functions fail
// until the next preparation. Call it after the graph has stopped.
void ReleaseClipSamples();

}  // namespace ksv::camapi
