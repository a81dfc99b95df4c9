#include "outside/bulk/camera_source.h"

#include <cstdlib>

#include "simcam/default_memory.h"
#include "simcam/memory_image.h"

namespace ksv::outside::bulk {

namespace {

namespace fs = std::filesystem;

struct Source {
  std::mutex mutex;
  std::optional<fs::path> chosen;  // by UseCameraMemory
  std::shared_ptr<Camera> camera;  // in use
};

Source& TheSource() {
  static Source* source = new Source;  // outlives every connection
  return *source;
}

// Made once per process: taking the photographs again would give the same.
const simcam::CameraMemory& DefaultMemory() {
  static const simcam::CameraMemory memory =
      simcam::DefaultCameraMemory(simcam::DefaultPhotosDir());
  return memory;
}

std::optional<fs::path> ImageFromEnvironment() {
  const char* path = std::getenv("KSV_CAMERA_MEMORY");
  if (path == nullptr || *path == '\0') return std::nullopt;
  return fs::path(path);
}

}  // namespace

std::shared_ptr<Camera> ConnectCamera() {
  Source& source = TheSource();
  std::lock_guard lock(source.mutex);
  if (source.camera) return source.camera;
  const std::optional<fs::path> image = source.chosen ? source.chosen : ImageFromEnvironment();
  auto camera = std::make_shared<Camera>();
  camera->memory = image ? simcam::LoadMemoryImage(*image) : DefaultMemory();
  source.camera = camera;
  return camera;
}

void UseCameraMemory(std::optional<fs::path> image) {
  Source& source = TheSource();
  std::lock_guard lock(source.mutex);
  source.chosen = std::move(image);
  source.camera.reset();
}

}  // namespace ksv::outside::bulk
