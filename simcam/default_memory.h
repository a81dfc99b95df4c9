// What the simulated camera holds until told otherwise.
#pragma once

#include <filesystem>

#include "outside/bulk/memory/camera_memory.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;

// The photographs the camera stores by default, found at run time
// (support/shipped_data.h): those the tool ships, or the test photographs;
// empty when there are none (the camera then stores drawn pictures).
std::filesystem::path DefaultPhotosDir();

// Three high-quality and two low-quality pictures, a burst, a clip of each
// size with sound (ADPCM at 8,000 Hz for 320 x 240, PCM at 12,000 Hz for
// 160 x 128), a 160 x 112 clip without sound and a raw recording (a WAV
// file), made from the PNG photographs in `photosDir` and synthesised sound.
// A folder without readable photographs gives drawn pictures instead, so
// the camera is never empty.
bulk::CameraMemory DefaultCameraMemory(const std::filesystem::path& photosDir);

}  // namespace ksv::simcam
