// What the simulated camera reports about itself: its version texts and
// its recording modes.
#pragma once

#include <cstdint>
#include <vector>

#include "outside/bulk/memory/camera_memory.h"
#include "outside/bulk/memory/recording_mode.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;

// The simulated camera's modes, by table index.
inline constexpr uint8_t kHighQualityPictureMode = 0;  // 640 x 480 pictures
inline constexpr uint8_t kLowQualityPictureMode = 1;   // 160 x 128 pictures
inline constexpr uint8_t kClipMode = 2;                // 320 x 240 clips and bursts
inline constexpr uint8_t kLowResClipMode = 3;          // 160 x 128 clips
inline constexpr uint8_t kVideoOnlyClipMode = 4;       // 160 x 112 clips without sound

std::vector<bulk::RecordingMode> SimulatedCameraModes();

// The texts the simulated camera reports.
bulk::CameraVersions SimulatedCameraVersions();

}  // namespace ksv::simcam
