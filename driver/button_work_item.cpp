#include "driver/button_work_item.h"

#include "driver/driver_values.h"

namespace ksv::driver {
namespace {

void WriteButtonValue(platform::kernel::DEVICE_OBJECT*, void* context) {
  auto& extension = *static_cast<CameraDeviceExtension*>(context);
  // Cleared before reading, so a change arriving meanwhile queues a new write.
  SharedStore(extension.ButtonWriteQueued, uint32_t{0});
  WriteDriverValue(kButtonValueName, SharedLoad(extension.LastStatusByte));
}

}  // namespace

void QueueButtonWrite(CameraDeviceExtension& extension) {
  if (extension.ButtonWorkItem == nullptr) return;
  if (SharedExchange(extension.ButtonWriteQueued, uint32_t{1}) != 0) return;
  platform::kernel::IoQueueWorkItem(extension.ButtonWorkItem, WriteButtonValue,
                                    platform::kernel::DelayedWorkQueue, &extension);
}

}  // namespace ksv::driver
