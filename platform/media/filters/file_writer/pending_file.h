// A file written at chosen positions that appears under its name only when
// it is committed: the bytes go to a temporary file beside the target (same
// folder, so the commit is one rename), and a file that is discarded, or
// never committed, leaves nothing behind. Not thread-safe: the File Writer
// serialises the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/com/hresult.h"

namespace ksv::media::filters {

class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();  // discards what was not committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Starts a new temporary file for `target` (UTF-8 path), discarding one
  // still pending. Fails with the error of creating it (a missing folder:
  // HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) or ERROR_FILE_NOT_FOUND).
  HRESULT Open(const std::string& target);
  bool IsOpen() const { return fd_ >= 0; }

  // Writes all `size` bytes at `offset`; the error of the failed write (a
  // full disk: HRESULT_FROM_WIN32(ERROR_DISK_FULL)).
  HRESULT WriteAt(uint64_t offset, const void* data, size_t size);
  // The temporary file's size so far.
  uint64_t Size() const;

  // Closes the file and renames it onto the target (replacing a file
  // there). On failure the temporary file is removed.
  HRESULT Commit();
  // Closes and removes the temporary file; nothing when none is pending.
  void Discard();

  const std::string& TemporaryPath() const { return temporary_; }

 private:
  int fd_ = -1;
  std::string target_;
  std::string temporary_;
};

}  // namespace ksv::media::filters
