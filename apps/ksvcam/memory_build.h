// Builds a camera memory from a person's files: pictures, a burst, a clip
// with its sound, a raw recording.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"
#include "outside/bulk/memory/camera_memory.h"

namespace ksv::ksvcam {

struct MemoryBuildOptions {
  // Folders of PNG, JPEG or BMP pictures (photo_input.h), in name order:
  std::string photosDir;             // high-quality pictures (640 x 480)
  std::string lowPhotosDir;          // low-quality pictures (160 x 128)
  std::string burstDir;              // its first five pictures: a burst (320 x 240)
  std::string clipDir;               // a clip's frames, 10 a second
  std::string clipSize = "320x240";  // 320x240, 160x128 or 160x112
  std::string audioFile;             // WAV: the clip's sound
  std::string rawFile;               // any file: a raw recording
  std::string output;
};

// The memory the options describe, in the order above, with the simulated
// camera's modes and versions. Throws UsageError for options that do not go
// together and CommandFailure for files that cannot be used; names each
// file it passes over on `console`'s stderr.
outside::bulk::CameraMemory BuildMemory(const MemoryBuildOptions& options, Console& console);

}  // namespace ksv::ksvcam
