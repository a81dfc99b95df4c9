// A context of the camera access library, opened for ksvcam with a module
// under the system folder and a stand-in window.
#pragma once

#include <string>

#include "include/oksv1api.h"

namespace ksv::ksvcam {

class CameraLibrary {
 public:
  // Throws CommandFailure saying why the camera cannot be opened.
  CameraLibrary(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end, intptr_t user);
  ~CameraLibrary();
  CameraLibrary(const CameraLibrary&) = delete;
  CameraLibrary& operator=(const CameraLibrary&) = delete;

  KXCAMAPI_HANDLE get() const { return context_; }

 private:
  HWND window_ = nullptr;
  KXCAMAPI_HANDLE context_ = nullptr;
};

// Chooses the camera of the next contexts: the memory image `memoryFile`,
// else the one KSV_CAMERA_MEMORY names, else the simulated camera. Returns
// what it is for messages. Throws CommandFailure for a missing file.
std::string ChooseCamera(const std::string& memoryFile);

}  // namespace ksv::ksvcam
