#include "platform/wia/sti_device.h"

#include <chrono>

namespace ksv::platform::wia {

HRESULT StiDevice::LockDevice(DWORD timeOut) {
  {
    std::unique_lock lock(state_);
    if (!freed_.wait_for(lock, std::chrono::milliseconds(timeOut), [this] { return !held_; })) {
      return STIERR_DEVICE_LOCKED;
    }
    held_ = true;
  }
  // The service's lock first, then the driver's, as the platform orders them.
  const HRESULT locked = driver_->LockDevice();
  if (FAILED(locked)) Free();
  return locked;
}

HRESULT StiDevice::UnLockDevice() {
  {
    // Unlocking a device nobody locked is the caller's error, never the lock's.
    std::lock_guard lock(state_);
    if (!held_) return E_UNEXPECTED;
  }
  const HRESULT unlocked = driver_->UnLockDevice();
  Free();
  return unlocked;
}

void StiDevice::Free() {
  {
    std::lock_guard lock(state_);
    held_ = false;
  }
  freed_.notify_one();
}

}  // namespace ksv::platform::wia
