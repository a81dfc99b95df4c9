// Where the bulk library's camera comes from: the simulated camera of this
// process, or a camera memory image file. One camera serves every
// connection of the process.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "simcam/camera_memory.h"

namespace ksv::outside::bulk {

struct Camera {
  std::mutex mutex;  // guards memory
  simcam::CameraMemory memory;
};

// The camera to connect to: the one already in use, else a new one: the
// image chosen by UseCameraMemory, else the one $KSV_CAMERA_MEMORY names,
// else the simulated camera with its default memory. Throws simcam::MemoryImageError when the image
// cannot be loaded (nothing is kept then, so the next call tries again).
std::shared_ptr<Camera> ConnectCamera();

// Chooses the image of later connections; with none, they go by
// $KSV_CAMERA_MEMORY again. The camera in use is dropped, so the next
// connection starts from the memory as chosen, whatever was erased.
void UseCameraMemory(std::optional<std::filesystem::path> image);

}  // namespace ksv::outside::bulk
