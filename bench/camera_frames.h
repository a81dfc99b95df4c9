// The simulated camera's compressed frames, as its driver passes them
// through (one period of its moving pattern), for the benchmarks whose
// anchor is decoding the camera's frames alone.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/frame_format.h"

namespace ksv::bench {

// `count` frames at `size`; exits the program with a message when the
// camera does not stream.
std::vector<std::vector<uint8_t>> CameraFrames(codec::FrameSize size, size_t count = 16);

}  // namespace ksv::bench
