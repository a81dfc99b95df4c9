// Builds a camera memory from a person's files: pictures, a burst, a clip
// with its sound, a raw recording.
#pragma once

#include <string>

#include "outside/bulk/memory/camera_memory.h"

namespace ksv::ksvcam {

struct MemoryBuildOptions {
  std::string photosDir;             // PNG files: high-quality pictures (640 x 480)
  std::string lowPhotosDir;          // PNG files: low-quality pictures (160 x 128)
  std::string burstDir;              // its first five PNG files: a burst (320 x 240)
  std::string clipDir;               // PNG frames in name order: a clip, 10 a second
  std::string clipSize = "320x240";  // 320x240, 160x128 or 160x112
  std::string audioFile;             // WAV: the clip's sound
  std::string rawFile;               // any file: a raw recording
  std::string output;
};

// The memory the options describe, in the order above, with the simulated
// camera's modes and versions. Throws UsageError for options that do not go
// together and CommandFailure for files that cannot be used.
outside::bulk::CameraMemory BuildMemory(const MemoryBuildOptions& options);

}  // namespace ksv::ksvcam
