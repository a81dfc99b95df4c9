// The frames of a burst: where each one lies in an item, decoding it at
// the burst size and saving it through the burst frame hook.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "camapi/camera_context.h"
#include "camapi/item_headers.h"

namespace ksv::camapi {

// Where one stored frame's entropy-coded data lies.
using FrameData = std::span<const uint8_t>;

// The frames of a fetched item: the frame-length table at B (one 16-bit
// count of B-byte units a frame), the first frame at B + the table
// distance. False when the table or a frame reaches past the item.
bool PerItemFrames(std::span<const uint8_t> item, const PerItemHeader& header,
                   std::vector<FrameData>& frames);

// The frames of a stream item's data: chunks of 16 bytes (video length at 4,
// sound length at 13), the frame, then its sound. False when a chunk
// reaches past the data.
bool ChunkFrames(std::span<const uint8_t> data, uint16_t chunkCount,
                 std::vector<FrameData>& frames);

enum class FramesOutcome { kDone, kCancelled, kDecodeFailed };

// Decodes each frame at the burst size with the table in bulk.qTable over
// the decoder's built-in pair 2 and runs the burst frame hook after each.
FramesOutcome DecodeBurstFrames(CameraContext& context, std::span<const FrameData> frames);

}  // namespace ksv::camapi
