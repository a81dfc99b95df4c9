// What `ksvcam memory info` prints about a camera memory.
#pragma once

#include <string>

#include "outside/bulk/memory/camera_memory.h"

namespace ksv::ksvcam {

// The memory's source and version texts, one line per item (index, tag,
// kind, picture or frame size, frames, sound, bytes in the stream), and the
// counts the bulk library gives per item type.
std::string DescribeMemory(const outside::bulk::CameraMemory& memory, const std::string& source);

}  // namespace ksv::ksvcam
