// For tests that look at what the Video Renderer drew: its window (the
// newest of the process, as a graph made last has it), whose surface
// ksv::platform::ui::SurfaceOf reads and SaveSurfacePng writes as a PNG.
// When the window's client area has the video's size (as it has after the
// renderer connects), the surface holds the last frame's pixels exactly.
#pragma once

#include <filesystem>

#include "platform/ui/user32.h"

namespace ksv::media::testing {

// The newest live window of the Video Renderer's class, or null.
HWND VideoRendererWindow();

// Saves that window's surface as a 24-bit PNG; false when there is no such
// window or the file could not be written.
bool SaveVideoRendererPng(const std::filesystem::path& path);

}  // namespace ksv::media::testing
