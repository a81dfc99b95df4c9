// Steps the driver's routines share: programming the camera's compression
// engine and waiting for it, and removing the device's names.
#pragma once

#include <cstdint>

#include "driver/camera_device_extension.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::driver {

inline constexpr uint16_t kEngineRegister = 0x8000;
inline constexpr uint8_t kEngineStart = 4;
inline constexpr uint8_t kEngineReady = 0x44;  // "D"

// Reads the engine register every 10 ms until it reads 0x44, at most 500
// times. A failed read ends the wait with its status; an engine that never
// reports ready ends it with success, and the caller carries on.
platform::kernel::NTSTATUS WaitForEngine(CameraDeviceExtension& extension);

// Sets the engine up for the stream's size class with the camera's level
// and its quantisation tables, starts it and waits for it (the outcome is
// the caller's to ignore).
platform::kernel::NTSTATUS ProgramCompressionEngine(CameraDeviceExtension& extension);

// Disables the device interface and deletes the symbolic link this camera
// made. Safe to call again.
void RemoveDeviceNames(CameraDeviceExtension& extension);

}  // namespace ksv::driver
