#include "apps/ksvcam/camera_library.h"

#include <cstdlib>
#include <filesystem>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/machine_camera.h"
#include "include/oksv1dnl.h"
#include "platform/module/module.h"
#include "platform/root/system_root.h"
#include "platform/window/window.h"

namespace ksv::ksvcam {

namespace {

std::string BulkFailure() {
  switch (BULK_GetErrCode(0)) {
    case BULK_ERR_NO_MEMORY_IMAGE:
      return "the camera memory image cannot be read";
    case BULK_ERR_BAD_MEMORY_IMAGE:
      return "the camera memory image is damaged";
    case BULK_ERR_OUT_OF_MEMORY:
      return "out of memory";
    case BULK_ERR_NO_CAMERA:
      return "no camera is plugged in (run 'ksvcam setup')";
    default:
      return "the camera is not connected";
  }
}

}  // namespace

CameraLibrary::CameraLibrary(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                             intptr_t user) {
  // The library's module lies in the system folder; its clip work folder
  // is made beside it.
  const HINSTANCE module =
      platform::RegisterModule((platform::SystemRoot() / "system32" / "OKSV1API.DLL").string());
  window_ = platform::CreateStandInWindow();
  context_ = KXCAMAPI_Init(begin, end, user, module, window_);
  if (context_ == nullptr) {
    DestroyWindow(window_);
    throw CommandFailure("cannot open the camera: " + BulkFailure());
  }
}

CameraLibrary::~CameraLibrary() {
  KXCAMAPI_Reset(context_);
  DestroyWindow(window_);
}

std::string ChooseCamera(const std::string& memoryFile) {
  if (!memoryFile.empty()) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(memoryFile, error)) {
      throw CommandFailure("no camera memory image '" + memoryFile + "'");
    }
    BULK_UseCameraMemory(memoryFile.c_str());
    return "'" + memoryFile + "'";
  }
  BULK_UseCameraMemory(nullptr);
  const char* image = std::getenv("KSV_CAMERA_MEMORY");
  if (image != nullptr && *image != '\0') return std::string("'") + image + "'";
  EnsureMachineCamera();
  return "the simulated camera";
}

}  // namespace ksv::ksvcam
