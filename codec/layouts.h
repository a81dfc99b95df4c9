// The picture sizes each decoder flavour lays out.
#pragma once

#include "codec/frame_format.h"

namespace ksv::codec {

// Driver: planar 160 x 128, 176 x 144, 320 x 240, 352 x 288, 640 x 480;
// 24-bit 160 x 112, 176 x 144, 320 x 240, 352 x 288, 640 x 480, 1024 x 768.
bool DriverHasLayout(FrameSize size, OutputCode code);

// Camera access library: as the driver, but its planar 160-wide layout is
// 160 x 112 and its 24-bit 160-wide layout takes any height from 1 to 480.
bool LibraryHasLayout(FrameSize size, OutputCode code);

}  // namespace ksv::codec
