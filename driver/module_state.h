// State the driver keeps once for all cameras: the one active camera and the
// decoder, which is shared and set up while at least one camera is started.
#pragma once

#include <atomic>

#include "codec/decoder.h"
#include "driver/camera_device_extension.h"

namespace ksv::driver {

// The camera the packet and frame routines serve; calls for any other
// camera are refused.
extern std::atomic<CameraDeviceExtension*> ActiveCamera;

inline bool IsActiveCamera(const void* deviceContext) {
  return deviceContext != nullptr &&
         ActiveCamera.load(std::memory_order_acquire) == deviceContext;
}

// The decoder's module-level tables. Only the active camera's raw-frame
// routine decodes with them.
codec::DecoderTables& ModuleDecoder();

// Counts started cameras: the first sets the decoder up, the last releases it.
void CountCameraStarted();
void CountCameraStopped();

}  // namespace ksv::driver
