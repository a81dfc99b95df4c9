#include "platform/usbcamd/usb_device.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "platform/hardware/device_list.h"

namespace ksv::platform::usbcamd {
namespace {

using kernel::NTSTATUS;

struct Attachment {
  UsbDevice* device = nullptr;
  SelectedSetting selected;
};

std::mutex devicesLock;
std::unordered_map<const void*, Attachment>& Devices() {
  static std::unordered_map<const void*, Attachment> devices;
  return devices;
}

// No vendor request the camera knows carries more than this.
constexpr uint32_t kMaxVendorData = 4096;

}  // namespace

void AttachUsbDevice(const void* deviceContext, UsbDevice* device) {
  std::lock_guard guard(devicesLock);
  if (device == nullptr) {
    Devices().erase(deviceContext);
  } else {
    Devices()[deviceContext] = {device, {}};
  }
}

UsbDevice& FindUsbCamera() {
  std::vector<hardware::LoadProblem> problems;
  void* found = hardware::FindFunction(kUsbDeviceInterface, &problems);
  if (found == nullptr) throw std::runtime_error(hardware::DescribeMissing("USB camera", problems));
  return *static_cast<UsbDevice*>(found);
}

UsbDevice* AttachedUsbDevice(const void* deviceContext) {
  std::lock_guard guard(devicesLock);
  const auto found = Devices().find(deviceContext);
  return found == Devices().end() ? nullptr : found->second.device;
}

SelectedSetting SelectedAlternateSetting(const void* deviceContext) {
  std::lock_guard guard(devicesLock);
  const auto found = Devices().find(deviceContext);
  return found == Devices().end() ? SelectedSetting{} : found->second.selected;
}

NTSTATUS USBCAMD_ControlVendorCommand(void* deviceContext, uint8_t request, uint16_t value,
                                      uint16_t index, void* buffer, uint32_t* bufferLength,
                                      bool getData, PCOMMAND_COMPLETE_FUNCTION commandComplete,
                                      void* commandContext) {
  NTSTATUS status = kernel::STATUS_SUCCESS;
  uint32_t length = bufferLength != nullptr ? *bufferLength : 0;
  if (buffer == nullptr) length = 0;
  UsbDevice* device = AttachedUsbDevice(deviceContext);
  if (device == nullptr) {
    status = kernel::STATUS_DEVICE_NOT_CONNECTED;
    length = 0;
  } else if (length > kMaxVendorData) {
    status = kernel::STATUS_INVALID_PARAMETER;
    length = 0;
  } else {
    const int32_t done = device->VendorRequest(
        getData, request, value, index, {static_cast<uint8_t*>(buffer), length});
    if (done < 0) {
      status = kernel::STATUS_UNSUCCESSFUL;
      length = 0;
    } else {
      length = std::min<uint32_t>(length, static_cast<uint32_t>(done));
    }
  }
  if (bufferLength != nullptr) *bufferLength = length;
  if (commandComplete != nullptr) commandComplete(deviceContext, commandContext, status);
  return status;
}

NTSTATUS USBCAMD_SelectAlternateInterface(void* deviceContext,
                                          USBD_INTERFACE_INFORMATION* requestInterface) {
  if (requestInterface == nullptr) return kernel::STATUS_INVALID_PARAMETER;
  UsbDevice* device = AttachedUsbDevice(deviceContext);
  if (device == nullptr) return kernel::STATUS_DEVICE_NOT_CONNECTED;
  uint16_t packetSize = 0;
  if (!device->SelectAlternateSetting(requestInterface->AlternateSetting, packetSize)) {
    return kernel::STATUS_UNSUCCESSFUL;
  }
  requestInterface->Pipes[0].MaximumPacketSize = packetSize;
  std::lock_guard guard(devicesLock);
  const auto found = Devices().find(deviceContext);
  if (found != Devices().end()) {
    found->second.selected = {requestInterface->AlternateSetting, packetSize};
  }
  return kernel::STATUS_SUCCESS;
}

}  // namespace ksv::platform::usbcamd
