#include "driver/module_state.h"

#include <mutex>

namespace ksv::driver {
namespace {

std::mutex cameraCountLock;
unsigned startedCameras = 0;

}  // namespace

std::atomic<CameraDeviceExtension*> ActiveCamera{nullptr};

codec::DecoderTables& ModuleDecoder() {
  static codec::DecoderTables decoder;
  return decoder;
}

void CountCameraStarted() {
  std::lock_guard guard(cameraCountLock);
  // A failed set-up leaves the decoder unusable; every decode then fails and
  // the frame path repeats the last good frame.
  if (startedCameras++ == 0) ModuleDecoder().SetUp();
}

void CountCameraStopped() {
  std::lock_guard guard(cameraCountLock);
  if (startedCameras == 0) return;
  if (--startedCameras == 0) ModuleDecoder().Release();
}

}  // namespace ksv::driver
