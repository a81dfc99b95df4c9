// The class driver's side of the camera's default pipe and alternate
// settings: requests reach the device plugged in under the driver's context.
#include "platform/usbcamd/usb_device.h"

#include <gtest/gtest.h>

#include <vector>

namespace ksv::platform::usbcamd {
namespace {

class FakeDevice final : public UsbDevice {
 public:
  int32_t VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                        std::span<uint8_t> data) override {
    seen.push_back({in, request, value, index});
    if (request == 0x77) return -1;  // stalls
    if (in) {
      for (size_t i = 0; i < data.size() && i < 1; ++i) data[i] = 0x5A;
      return data.empty() ? 0 : 1;  // answers one byte whatever was asked
    }
    return 0;
  }
  bool SelectAlternateSetting(uint8_t setting, uint16_t& size) override {
    if (setting == 6) return false;
    size = static_cast<uint16_t>(setting * 100);
    return true;
  }
  struct Call {
    bool in;
    uint8_t request;
    uint16_t value;
    uint16_t index;
  };
  std::vector<Call> seen;
};

TEST(UsbDevice, VendorRequestsReachThePluggedInDeviceAndReportTheirOutcome) {
  int context = 0;
  uint8_t buffer[4] = {};
  uint32_t length = sizeof buffer;
  EXPECT_EQ(USBCAMD_ControlVendorCommand(&context, 0x05, 0, 1, buffer, &length, true, nullptr,
                                         nullptr),
            kernel::STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(length, 0u);

  FakeDevice device;
  AttachUsbDevice(&context, &device);
  length = sizeof buffer;
  kernel::NTSTATUS completed = 1;
  EXPECT_EQ(USBCAMD_ControlVendorCommand(
                &context, 0x05, 0, 1, buffer, &length, true,
                [](void*, void* user, kernel::NTSTATUS status) {
                  *static_cast<kernel::NTSTATUS*>(user) = status;
                },
                &completed),
            kernel::STATUS_SUCCESS);
  EXPECT_EQ(completed, kernel::STATUS_SUCCESS);
  EXPECT_EQ(length, 1u) << "the bytes the device answered";
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_EQ(USBCAMD_ControlVendorCommand(&context, 0x00, 0x12, 0x8167, nullptr, nullptr, false,
                                         nullptr, nullptr),
            kernel::STATUS_SUCCESS);
  ASSERT_EQ(device.seen.size(), 2u);
  EXPECT_EQ(device.seen[1].value, 0x12);
  EXPECT_EQ(device.seen[1].index, 0x8167);
  EXPECT_EQ(USBCAMD_ControlVendorCommand(&context, 0x77, 0, 0, nullptr, nullptr, false, nullptr,
                                         nullptr),
            kernel::STATUS_UNSUCCESSFUL);
  std::vector<uint8_t> huge(8192);
  length = static_cast<uint32_t>(huge.size());
  EXPECT_EQ(USBCAMD_ControlVendorCommand(&context, 0x00, 0, 0, huge.data(), &length, true, nullptr,
                                         nullptr),
            kernel::STATUS_INVALID_PARAMETER);

  USBD_INTERFACE_INFORMATION interface;
  interface.AlternateSetting = 4;
  EXPECT_EQ(USBCAMD_SelectAlternateInterface(&context, &interface), kernel::STATUS_SUCCESS);
  EXPECT_EQ(interface.Pipes[0].MaximumPacketSize, 400);
  interface.AlternateSetting = 6;
  EXPECT_EQ(USBCAMD_SelectAlternateInterface(&context, &interface), kernel::STATUS_UNSUCCESSFUL);
  EXPECT_EQ(interface.Pipes[0].MaximumPacketSize, 400) << "unchanged";
  AttachUsbDevice(&context, nullptr);
  EXPECT_EQ(USBCAMD_SelectAlternateInterface(&context, &interface),
            kernel::STATUS_DEVICE_NOT_CONNECTED);
}

}  // namespace
}  // namespace ksv::platform::usbcamd
