#include "platform/wia/sti_device.h"

#include <chrono>

namespace ksv::platform::wia {

HRESULT StiDevice::LockDevice(DWORD timeOut) {
  if (!lock_.try_lock_for(std::chrono::milliseconds(timeOut))) return STIERR_DEVICE_LOCKED;
  // The service's lock first, then the driver's, as the platform orders them.
  const HRESULT locked = driver_->LockDevice();
  if (FAILED(locked)) {
    lock_.unlock();
  } else {
    held_.store(true);
  }
  return locked;
}

HRESULT StiDevice::UnLockDevice() {
  // Unlocking a device nobody locked is the caller's error, never the lock's.
  if (!held_.exchange(false)) return E_UNEXPECTED;
  const HRESULT unlocked = driver_->UnLockDevice();
  lock_.unlock();
  return unlocked;
}

}  // namespace ksv::platform::wia
