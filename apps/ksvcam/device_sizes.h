// The frame sizes a video capture device offers, read from its capture
// pin's capabilities, so that a size it does not offer is refused with the
// ones it does.
#pragma once

#include <string>
#include <vector>

#include "codec/frame_format.h"

namespace ksv::ksvcam {

// The sizes of `device` (a friendly name of the video capture category), in
// the order its pin lists them, each once; empty when the device is not
// there or lists none. Needs the media framework registered.
std::vector<codec::FrameSize> DeviceFrameSizes(const std::string& device);

}  // namespace ksv::ksvcam
