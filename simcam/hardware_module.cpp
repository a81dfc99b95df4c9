// The simulated camera's hardware module: the shared object the machine's
// device list names, which makes the camera when the platform enumerates
// its devices.
#include "include/ksv_export.h"
#include "simcam/simulated_camera.h"

extern "C" KSV_EXPORT ksv::platform::hardware::HardwareDevice*
KsvCreateHardwareDevice() {
  return new ksv::simcam::SimulatedCameraDevice;
}
