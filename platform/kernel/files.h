// The kernel's file calls as the driver uses them: open a file for
// synchronous writing, write it, close it (ZwClose, system_thread.h).
// Kernel paths "\SystemRoot\..." lie under the system root ($KSV_ROOT);
// names match without regard to case, as the platform's file system does.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

struct IO_STATUS_BLOCK {
  NTSTATUS Status = STATUS_SUCCESS;
  uint64_t Information = 0;  // bytes written
};

enum FILE_DISPOSITION : uint32_t { FILE_OPEN = 1, FILE_CREATE = 2, FILE_OVERWRITE_IF = 5 };

// Opens `kernelPath` for writing. The folder must exist (STATUS_NO_SUCH_FILE
// otherwise, as for any path that cannot be opened). No sharing: a second
// open of a file that is open fails.
NTSTATUS ZwCreateFile(HANDLE* fileHandle, const char* kernelPath, FILE_DISPOSITION disposition,
                      IO_STATUS_BLOCK* ioStatus);
NTSTATUS ZwWriteFile(HANDLE fileHandle, IO_STATUS_BLOCK* ioStatus, const void* buffer,
                     uint32_t length);

// Where a kernel path lies on this machine (names resolved case-insensitively
// against what exists). Throws std::runtime_error without a system root.
std::filesystem::path NativePathOf(const char* kernelPath);

}  // namespace ksv::platform::kernel
