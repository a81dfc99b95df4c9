// The raw snapshot file the driver leaves for user mode: "snapraw.dat" in
// the camera software's folder under the system root, always 231424 bytes.
// A 1024-byte header (image type 1, width 320, height 240 and the format's
// marks at offset 64, zeros elsewhere) is followed by 320 x 240 pixels of
// 3 bytes each, B, G, R, rows bottom-up, without row padding.
#pragma once

#include <cstdint>
#include <span>

#include "driver/camera_device_extension.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::driver {

inline constexpr const char* kSnapshotFolder = "\\SystemRoot\\TWAIN_32\\Orvan\\KSV1\\";
inline constexpr const char* kSnapshotFileName = "snapraw.dat";

inline constexpr uint32_t kSnapshotHeaderSize = 1024;
inline constexpr uint32_t kSnapshotWidth = 320;
inline constexpr uint32_t kSnapshotHeight = 240;
inline constexpr uint32_t kSnapshotPixelBytes = kSnapshotWidth * kSnapshotHeight * 3;
static_assert(kSnapshotHeaderSize + kSnapshotPixelBytes <= kSnapshotBufferSize);

// Fills the header: the first 1024 bytes of the snapshot buffer.
void WriteRawSnapshotHeader(std::span<uint8_t, kSnapshotHeaderSize> header);

// Writes the whole snapshot buffer (kSnapshotBufferSize bytes) to `fileName`
// in the snapshot folder, replacing the file or creating it; the folder must
// exist. The bytes go to "<fileName>.part" first, renamed to `fileName` once
// whole, so a reader sees the earlier file or the new one, never part of
// one. STATUS_INSUFFICIENT_RESOURCES without memory for the paths or without
// a snapshot buffer, STATUS_NO_SUCH_FILE when the file cannot be created,
// STATUS_UNSUCCESSFUL for a failed or short write or a failed rename (the
// partial file is removed and the earlier one left as it was).
platform::kernel::NTSTATUS WriteRawSnapshot(CameraDeviceExtension& extension,
                                            const char* fileName);

}  // namespace ksv::driver
