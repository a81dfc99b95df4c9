// The service's halves of a still-image device that it hands its driver:
// the device control (the port, which this platform's devices do not have)
// and the STI device, whose lock the driver takes around its work.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/com/com_object.h"
#include "platform/wia/wia.h"

namespace ksv::platform::wia {

class DeviceControl final : public com::ComObject<IStiDeviceControl> {
 public:
  HRESULT Initialize(DWORD, DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT RawReadData(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteData(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT RawReadCommand(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteCommand(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT RawDeviceControl(STI_RAW_CONTROL_CODE, void*, DWORD, void*, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT GetLastError(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetMyDevicePortName(WCHAR*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetMyDeviceHandle(HANDLE*) override { return E_NOTIMPL; }
  HRESULT GetMyDeviceOpenMode(DWORD*) override { return E_NOTIMPL; }
  HRESULT WriteToErrorLog(DWORD, LPCWSTR, HRESULT) override { return E_NOTIMPL; }
};

class StiDevice final : public com::ComObject<IStiDevice> {
 public:
  explicit StiDevice(IStiUSD* driver) : driver_(driver) {}

  HRESULT LockDevice(DWORD timeOut) override;
  HRESULT UnLockDevice() override;

  HRESULT Initialize(HINSTANCE, LPCWSTR, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT GetCapabilities(PSTI_USD_CAPS) override { return E_NOTIMPL; }
  HRESULT GetStatus(PSTI_DEVICE_STATUS) override { return E_NOTIMPL; }
  HRESULT DeviceReset() override { return E_NOTIMPL; }
  HRESULT Diagnostic(LPSTI_DIAG) override { return E_NOTIMPL; }
  HRESULT Escape(STI_RAW_CONTROL_CODE, void*, DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetLastError(DWORD*) override { return E_NOTIMPL; }
  HRESULT RawReadData(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteData(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT RawReadCommand(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteCommand(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT Subscribe(void*) override { return E_NOTIMPL; }
  HRESULT GetLastNotificationData(LPSTINOTIFY) override { return E_NOTIMPL; }
  HRESULT UnSubscribe() override { return E_NOTIMPL; }
  HRESULT GetLastErrorInfo(STI_ERROR_INFO*) override { return E_NOTIMPL; }

 private:
  void Free();

  IStiUSD* driver_;  // uncounted: the service holds the driver longer
  // The lock: held or not, and who waits for it.
  std::mutex state_;
  std::condition_variable freed_;
  bool held_ = false;
};

}  // namespace ksv::platform::wia
