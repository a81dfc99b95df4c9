#include "driver/button_poll.h"

#include "driver/button_thread.h"
#include "driver/camera_requests.h"
#include "driver/driver_values.h"

namespace ksv::driver {
namespace {

constexpr uint8_t kButtonBit = 0x20;
constexpr uint8_t kTriggerBit = 0x80;
constexpr uint8_t kModeBit = 0x10;

bool NoStreamOpen(uint32_t state) { return state == 1 || state == 2 || state == 3 || state == 7; }
bool StreamOpen(uint32_t state) { return state >= 4 && state <= 6; }

void PollStatusByte(CameraDeviceExtension& extension) {
  uint8_t answer = 0;
  // A failed read is tried again on the next wake.
  if (!platform::kernel::NT_SUCCESS(ReadCameraStatus(extension, answer))) return;
  const auto status = static_cast<uint8_t>(answer * 4);
  const uint8_t last = SharedLoad(extension.LastStatusByte);
  if (status == last) return;
  WriteDriverValue("Button", status);
  if (status & (kButtonBit | kTriggerBit)) WriteDriverValue("TimerTrigger", 1);
  if ((status ^ last) & kModeBit) {
    SharedStore(extension.ModeIndicator, uint32_t{(status & kModeBit) ? 0u : 1u});
  }
  SharedStore(extension.LastStatusByte, status);
}

void PollSnapshotRequest(CameraDeviceExtension& extension) {
  int32_t request = -1;
  ReadDriverValues({{"SnapShoot", &request}});
  if (request == 1 && SharedLoad(extension.RegistrySnapshotRequest) == 0) {
    SharedStore(extension.RegistrySnapshotRequest, uint32_t{1});
  }
}

}  // namespace

void PollButton(CameraDeviceExtension& extension) {
  const uint32_t state = SharedLoad(extension.StateNumber);
  if (NoStreamOpen(state)) {
    if (SharedLoad(extension.Suspended) == 0) PollStatusByte(extension);
  } else if (StreamOpen(state)) {
    PollSnapshotRequest(extension);
  }
}

void InstallButtonPolling() { InstallButtonPoll(&PollButton); }

}  // namespace ksv::driver
