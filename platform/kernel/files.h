// The kernel's file calls as the driver uses them: open a file for
// synchronous writing, write it, rename or delete it, close it (ZwClose,
// system_thread.h).
// Kernel paths "\SystemRoot\..." lie under the system root ($KSV_ROOT);
// names match without regard to case, as the platform's file system does.
#pragma once

#include <cstdint>

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

// Changes an open file: FileRenameInformation gives it another name in the
// same file system (FILE_RENAME_INFORMATION, the new name a kernel path);
// FileDispositionInformation with DeleteFile set deletes it when its handle
// is closed. STATUS_OBJECT_NAME_COLLISION when the new name exists and may
// not be replaced, STATUS_INVALID_PARAMETER for a record of the wrong size.
enum FILE_INFORMATION_CLASS : uint32_t {
  FileRenameInformation = 10,
  FileDispositionInformation = 13,
};
struct FILE_RENAME_INFORMATION {
  bool ReplaceIfExists = false;
  const char* FileName = nullptr;
};
struct FILE_DISPOSITION_INFORMATION {
  bool DeleteFile = false;
};
NTSTATUS ZwSetInformationFile(HANDLE fileHandle, IO_STATUS_BLOCK* ioStatus,
                              const void* information, uint32_t length,
                              FILE_INFORMATION_CLASS informationClass);

// While alive, file writes stop after `bytes` more bytes and fail, as they
// do on a full disk.
class ScopedWriteFailure {
 public:
  explicit ScopedWriteFailure(uint64_t bytes);
  ~ScopedWriteFailure();
  ScopedWriteFailure(const ScopedWriteFailure&) = delete;
  ScopedWriteFailure& operator=(const ScopedWriteFailure&) = delete;
};

}  // namespace ksv::platform::kernel
