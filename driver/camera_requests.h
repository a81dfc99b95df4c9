// The vendor requests the driver sends the camera on its default pipe, and
// the wait for the camera to become ready after entering or leaving
// streaming. A failed request records its status as the extension's last
// error.
#pragma once

#include <cstdint>

#include "driver/camera_device_extension.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::driver {

using platform::kernel::NTSTATUS;

namespace camera_request {
inline constexpr uint8_t kRegister = 0x00;
inline constexpr uint8_t kStatus = 0x05;
inline constexpr uint8_t kBusy = 0x06;
inline constexpr uint8_t kMode = 0x0C;
inline constexpr uint8_t kDefectCorrection = 0xDF;
inline constexpr uint8_t kEnterStreaming = 0xE0;
inline constexpr uint8_t kLeaveStreaming = 0xE1;
}  // namespace camera_request

// An "out" request without data.
NTSTATUS SendCameraRequest(CameraDeviceExtension& extension, uint8_t request, uint16_t value,
                           uint16_t index);
NTSTATUS WriteCameraRegister(CameraDeviceExtension& extension, uint16_t address, uint16_t value);
// Reads `length` (1 or 2) bytes from `address` on.
NTSTATUS ReadCameraRegister(CameraDeviceExtension& extension, uint16_t address, uint8_t* data,
                            uint32_t length);
// Any "in" request reading up to `length` bytes into `data`.
NTSTATUS ReadCameraVendor(CameraDeviceExtension& extension, uint8_t request, uint16_t value,
                          uint16_t index, uint8_t* data, uint32_t length);
// The camera's status answer (shifted left by 2 it is the status byte).
NTSTATUS ReadCameraStatus(CameraDeviceExtension& extension, uint8_t& answer);

enum class ReadyWait { kSleep, kBusyWait };

// Up to 100 times: wait 10 ms, then read the busy flag, until it reads 0.
// A failed read returns its status; still busy after 100 reads:
// STATUS_UNSUCCESSFUL.
NTSTATUS WaitUntilCameraReady(CameraDeviceExtension& extension, ReadyWait wait);

// Sends 0xE0 (enter) or 0xE1 (leave streaming) and waits until ready.
NTSTATUS EnterStreaming(CameraDeviceExtension& extension);
NTSTATUS LeaveStreaming(CameraDeviceExtension& extension);

// Waits 10 ms the way the request path does (a sleep).
void WaitTenMilliseconds();

}  // namespace ksv::driver
