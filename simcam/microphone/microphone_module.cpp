// The simulated microphone's hardware module: the shared object the
// machine's device list names, which makes the microphone when the platform
// enumerates its devices.
#include "include/ksv_export.h"
#include "simcam/microphone/simulated_microphone.h"

extern "C" KSV_EXPORT ksv::platform::hardware::HardwareDevice*
KsvCreateHardwareDevice() {
  return new ksv::simcam::SimulatedMicrophoneDevice;
}
