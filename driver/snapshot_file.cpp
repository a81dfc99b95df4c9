#include "driver/snapshot_file.h"

#include <algorithm>
#include <cstring>

#include "driver/driver_pool.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system_thread.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;

constexpr size_t kImageTypeOffset = 64;
constexpr uint8_t kImageTypeBgr24 = 1;  // 24-bit pixels from offset 1024

}  // namespace

void WriteRawSnapshotHeader(std::span<uint8_t, kSnapshotHeaderSize> header) {
  std::fill(header.begin(), header.end(), uint8_t{0});
  const auto fields = header.subspan<kImageTypeOffset>();
  fields[0] = kImageTypeBgr24;
  support::StoreLe16(fields, 1, kSnapshotWidth);
  support::StoreLe16(fields, 3, kSnapshotHeight);
  support::StoreLe16(fields, 5, 0x4D2A);
  support::StoreLe16(fields, 7, 0x0900);
  fields[9] = 8;
  fields[10] = 16;
}

kernel::NTSTATUS WriteRawSnapshot(CameraDeviceExtension& extension, const char* fileName) {
  const size_t folderLength = std::strlen(kSnapshotFolder);
  const size_t nameLength = std::strlen(fileName);
  auto* path = static_cast<char*>(kernel::ExAllocatePoolWithTag(
      kernel::NonPagedPool, folderLength + nameLength + 2, kDriverPoolTag));
  if (path == nullptr) return kernel::STATUS_INSUFFICIENT_RESOURCES;
  std::memcpy(path, kSnapshotFolder, folderLength);
  std::memcpy(path + folderLength, fileName, nameLength + 1);

  kernel::HANDLE file = nullptr;
  kernel::IO_STATUS_BLOCK ioStatus;
  const kernel::NTSTATUS opened =
      kernel::ZwCreateFile(&file, path, kernel::FILE_OVERWRITE_IF, &ioStatus);
  kernel::ExFreePoolWithTag(path, kDriverPoolTag);
  if (!kernel::NT_SUCCESS(opened)) return kernel::STATUS_NO_SUCH_FILE;

  if (extension.SnapshotBuffer == nullptr) {
    kernel::ZwClose(file);
    return kernel::STATUS_INSUFFICIENT_RESOURCES;
  }
  const kernel::NTSTATUS written =
      kernel::ZwWriteFile(file, &ioStatus, extension.SnapshotBuffer, kSnapshotBufferSize);
  kernel::ZwClose(file);
  if (!kernel::NT_SUCCESS(written) || ioStatus.Information != kSnapshotBufferSize) {
    return kernel::STATUS_UNSUCCESSFUL;
  }
  return kernel::STATUS_SUCCESS;
}

}  // namespace ksv::driver
