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

// A reader polls for the snapshot file, so it is written whole under this
// suffix and then renamed over the old one: the folder never shows part of
// a snapshot under its name.
constexpr const char* kPartSuffix = ".part";

kernel::NTSTATUS WriteWhole(CameraDeviceExtension& extension, const char* partPath,
                            const char* finalPath) {
  kernel::HANDLE file = nullptr;
  kernel::IO_STATUS_BLOCK ioStatus;
  if (!kernel::NT_SUCCESS(
          kernel::ZwCreateFile(&file, partPath, kernel::FILE_OVERWRITE_IF, &ioStatus))) {
    return kernel::STATUS_NO_SUCH_FILE;
  }
  kernel::NTSTATUS status = kernel::STATUS_INSUFFICIENT_RESOURCES;
  if (extension.SnapshotBuffer != nullptr) {
    const kernel::NTSTATUS written =
        kernel::ZwWriteFile(file, &ioStatus, extension.SnapshotBuffer, kSnapshotBufferSize);
    status = kernel::NT_SUCCESS(written) && ioStatus.Information == kSnapshotBufferSize
                 ? kernel::STATUS_SUCCESS
                 : kernel::STATUS_UNSUCCESSFUL;
  }
  if (kernel::NT_SUCCESS(status)) {
    const kernel::FILE_RENAME_INFORMATION rename{true, finalPath};
    if (!kernel::NT_SUCCESS(kernel::ZwSetInformationFile(
            file, &ioStatus, &rename, sizeof rename, kernel::FileRenameInformation))) {
      status = kernel::STATUS_UNSUCCESSFUL;
    }
  }
  if (!kernel::NT_SUCCESS(status)) {
    const kernel::FILE_DISPOSITION_INFORMATION discard{true};
    kernel::ZwSetInformationFile(file, &ioStatus, &discard, sizeof discard,
                                 kernel::FileDispositionInformation);
  }
  kernel::ZwClose(file);
  return status;
}

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
  // "<folder><name>" and "<folder><name>.part" in one allocation.
  const size_t folderLength = std::strlen(kSnapshotFolder);
  const size_t nameLength = std::strlen(fileName);
  const size_t pathBytes = folderLength + nameLength + 1;
  const size_t partBytes = pathBytes + std::strlen(kPartSuffix);
  auto* path = static_cast<char*>(
      kernel::ExAllocatePoolWithTag(kernel::NonPagedPool, pathBytes + partBytes, kDriverPoolTag));
  if (path == nullptr) return kernel::STATUS_INSUFFICIENT_RESOURCES;
  std::memcpy(path, kSnapshotFolder, folderLength);
  std::memcpy(path + folderLength, fileName, nameLength + 1);
  char* partPath = path + pathBytes;
  std::memcpy(partPath, path, pathBytes - 1);
  std::memcpy(partPath + pathBytes - 1, kPartSuffix, std::strlen(kPartSuffix) + 1);

  const kernel::NTSTATUS status = WriteWhole(extension, partPath, path);
  kernel::ExFreePoolWithTag(path, kDriverPoolTag);
  return status;
}

}  // namespace ksv::driver
