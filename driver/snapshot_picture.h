// The snapshot's picture: the assembled frame decoded a second time into
// 320 x 240 B, G, R pixels, rows bottom-up.
//
// A 320 x 240 stream's frame is decoded at its full size. A 160 x 120
// stream's frame (decoded at 160 x 128) gives the picture that stream shows,
// its centre 160 x 120, doubled in both directions: the snapshot always
// has the file's size and shows what the user saw.
#pragma once

#include <cstdint>
#include <span>

#include "codec/decoder.h"
#include "codec/frame_format.h"

namespace ksv::driver {

// `pixels` must hold 320 x 240 x 3 bytes; it is the only memory used.
// False when the frame does not decode (the pixels are then undefined).
bool DecodeSnapshotPicture(codec::DecoderTables& decoder, const codec::DecoderContext& context,
                           std::span<const uint8_t> frame, codec::FrameSize decodeSize,
                           std::span<uint8_t> pixels);

}  // namespace ksv::driver
