#include "outside/bulk/camera_source.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "outside/bulk/memory/memory_image.h"
#include "platform/hardware/device_list.h"

namespace ksv::outside::bulk {

namespace {

namespace fs = std::filesystem;

struct Source {
  std::mutex mutex;
  std::optional<fs::path> chosen;            // by UseCameraMemory
  std::shared_ptr<StoredItemSource> camera;  // in use
};

Source& TheSource() {
  static Source* source = new Source;  // outlives every connection
  return *source;
}

std::optional<fs::path> ImageFromEnvironment() {
  const char* path = std::getenv("KSV_CAMERA_MEMORY");
  if (path == nullptr || *path == '\0') return std::nullopt;
  return fs::path(path);
}

// The camera's own memory stays with the device, which lives as long as the
// process: the connection only refers to it.
std::shared_ptr<StoredItemSource> CameraOnTheMachine() {
  std::vector<platform::hardware::LoadProblem> problems;
  void* found = platform::hardware::FindFunction(kStoredItemSourceInterface, &problems);
  if (found == nullptr) {
    throw NoCameraError(platform::hardware::DescribeMissing("camera with stored items", problems));
  }
  return std::shared_ptr<StoredItemSource>(static_cast<StoredItemSource*>(found),
                                           [](StoredItemSource*) {});
}

}  // namespace

std::shared_ptr<StoredItemSource> ConnectCamera() {
  Source& source = TheSource();
  std::lock_guard lock(source.mutex);
  if (source.camera) return source.camera;
  const std::optional<fs::path> image = source.chosen ? source.chosen : ImageFromEnvironment();
  source.camera = image ? std::make_shared<HeldMemory>(LoadMemoryImage(*image)) : CameraOnTheMachine();
  return source.camera;
}

void UseCameraMemory(std::optional<fs::path> image) {
  Source& source = TheSource();
  std::lock_guard lock(source.mutex);
  source.chosen = std::move(image);
  source.camera.reset();
}

}  // namespace ksv::outside::bulk
