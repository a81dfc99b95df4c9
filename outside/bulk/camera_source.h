// Where the bulk library's camera comes from: a memory image file (a
// recorded camera) when one is chosen, else the camera on the machine (the
// first device that offers its stored items). One camera serves every
// connection of the process.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "outside/bulk/memory/memory_source.h"

namespace ksv::outside::bulk {

// No camera is plugged in; the message says what was tried.
class NoCameraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The camera to connect to: the one already in use, else the image chosen
// by UseCameraMemory, else the one $KSV_CAMERA_MEMORY names, else the camera
// on the machine. Throws MemoryImageError when the image cannot be loaded
// and NoCameraError when no camera is plugged in (nothing is kept then, so
// the next call tries again).
std::shared_ptr<StoredItemSource> ConnectCamera();

// Chooses the image of later connections; with none, they go by
// $KSV_CAMERA_MEMORY again. The camera in use is dropped, so the next
// connection starts from the memory as chosen, whatever was erased from an
// image.
void UseCameraMemory(std::optional<std::filesystem::path> image);

}  // namespace ksv::outside::bulk
