#include "driver/driver_status.h"

#include "driver/driver_values.h"
#include "driver/module_state.h"

namespace ksv::driver {

void SetDriverState(CameraDeviceExtension* extension, DriverState state) {
  CameraDeviceExtension* active = ActiveCamera.load(std::memory_order_acquire);
  if (extension != nullptr) SharedStore(extension->StateNumber, static_cast<uint32_t>(state));
  if (active == nullptr || active == extension) WriteDriverValue("DriverStatus", state);
}

}  // namespace ksv::driver
