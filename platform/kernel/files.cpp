#include "platform/kernel/files.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>

#include "platform/kernel/system_thread.h"
#include "platform/root/system_root.h"

namespace ksv::platform::kernel {
namespace {

namespace fs = std::filesystem;

std::mutex openLock;
std::set<std::string> openFiles;  // no sharing
std::optional<uint64_t> writableBytes;  // a full disk arranged by a test; under openLock

struct FileObject final : KernelObject {
  int fd = -1;
  std::string path;
  bool deleteOnClose = false;
  ~FileObject() override {
    if (fd >= 0) ::close(fd);
    if (path.empty()) return;
    if (deleteOnClose) ::unlink(path.c_str());
    std::lock_guard guard(openLock);
    openFiles.erase(path);
  }
};

// The entry of `folder` whose name matches `name` without regard to case;
// `name` itself when none does.
fs::path MatchCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (::strcasecmp(entry.path().filename().c_str(), name.c_str()) == 0) return entry.path();
  }
  return folder / name;
}

// Where a kernel path lies on this machine (names resolved case-insensitively
// against what exists). Throws std::runtime_error without a system root.
fs::path NativePathOf(const char* kernelPath) {
  std::string path = kernelPath;
  constexpr const char* kRoot = "\\SystemRoot\\";
  const size_t rootLength = std::char_traits<char>::length(kRoot);
  fs::path native = SystemRoot();
  if (path.size() >= rootLength && ::strncasecmp(path.c_str(), kRoot, rootLength) == 0) {
    path = path.substr(rootLength);
  }
  size_t at = 0;
  while (at < path.size()) {
    size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    if (end > at) native = MatchCase(native, path.substr(at, end - at));
    at = end + 1;
  }
  return native;
}

// How much of a write of `length` bytes the disk takes.
uint64_t Writable(uint64_t length) {
  std::lock_guard guard(openLock);
  if (!writableBytes) return length;
  const uint64_t taken = std::min(length, *writableBytes);
  *writableBytes -= taken;
  return taken;
}

NTSTATUS Rename(FileObject& file, const FILE_RENAME_INFORMATION& rename) {
  if (rename.FileName == nullptr) return STATUS_INVALID_PARAMETER;
  std::string target;
  try {
    target = NativePathOf(rename.FileName).string();
  } catch (const std::exception&) {
    return STATUS_NO_SUCH_FILE;
  }
  std::lock_guard guard(openLock);
  if (target == file.path) return STATUS_SUCCESS;
  if (openFiles.count(target) != 0) return STATUS_UNSUCCESSFUL;  // held open by someone
  std::error_code error;
  if (!rename.ReplaceIfExists && fs::exists(target, error)) return STATUS_OBJECT_NAME_COLLISION;
  if (::rename(file.path.c_str(), target.c_str()) != 0) return STATUS_UNSUCCESSFUL;
  openFiles.erase(file.path);
  openFiles.insert(target);
  file.path = target;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS ZwCreateFile(HANDLE* fileHandle, const char* kernelPath, FILE_DISPOSITION disposition,
                      IO_STATUS_BLOCK* ioStatus) {
  if (fileHandle == nullptr || kernelPath == nullptr) return STATUS_INVALID_PARAMETER;
  *fileHandle = nullptr;
  std::string native;
  try {
    native = NativePathOf(kernelPath).string();
  } catch (const std::exception&) {
    return STATUS_NO_SUCH_FILE;
  }
  int flags = O_WRONLY | O_CLOEXEC;
  if (disposition == FILE_OVERWRITE_IF) flags |= O_CREAT | O_TRUNC;
  if (disposition == FILE_CREATE) flags |= O_CREAT | O_EXCL;
  auto* file = new (std::nothrow) FileObject;
  if (file == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  bool taken = false;
  {
    std::lock_guard guard(openLock);
    taken = openFiles.insert(native).second;
  }
  if (!taken) {
    delete file;  // holds no path yet, so it releases nobody's
    return STATUS_NO_SUCH_FILE;  // held open by someone else
  }
  file->path = native;
  file->fd = ::open(native.c_str(), flags, 0644);
  if (file->fd < 0) {
    const NTSTATUS status = errno == EEXIST ? STATUS_OBJECT_NAME_COLLISION : STATUS_NO_SUCH_FILE;
    delete file;
    return status;
  }
  if (ioStatus != nullptr) *ioStatus = {STATUS_SUCCESS, 0};
  *fileHandle = static_cast<KernelObject*>(file);
  return STATUS_SUCCESS;
}

NTSTATUS ZwWriteFile(HANDLE fileHandle, IO_STATUS_BLOCK* ioStatus, const void* buffer,
                     uint32_t length) {
  auto* file = dynamic_cast<FileObject*>(static_cast<KernelObject*>(fileHandle));
  if (file == nullptr) return STATUS_INVALID_HANDLE;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  uint64_t written = 0;
  const uint64_t writable = Writable(length);
  while (written < writable) {
    const ssize_t n = ::write(file->fd, bytes + written, writable - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<uint64_t>(n);
  }
  // A synchronous write completes whole or reports failure with what it wrote.
  const NTSTATUS status = written == length ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
  if (ioStatus != nullptr) *ioStatus = {status, written};
  return status;
}

NTSTATUS ZwSetInformationFile(HANDLE fileHandle, IO_STATUS_BLOCK* ioStatus,
                              const void* information, uint32_t length,
                              FILE_INFORMATION_CLASS informationClass) {
  auto* file = dynamic_cast<FileObject*>(static_cast<KernelObject*>(fileHandle));
  if (file == nullptr) return STATUS_INVALID_HANDLE;
  if (information == nullptr) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = STATUS_INVALID_PARAMETER;
  if (informationClass == FileRenameInformation && length == sizeof(FILE_RENAME_INFORMATION)) {
    status = Rename(*file, *static_cast<const FILE_RENAME_INFORMATION*>(information));
  } else if (informationClass == FileDispositionInformation &&
             length == sizeof(FILE_DISPOSITION_INFORMATION)) {
    file->deleteOnClose =
        static_cast<const FILE_DISPOSITION_INFORMATION*>(information)->DeleteFile;
    status = STATUS_SUCCESS;
  }
  if (ioStatus != nullptr) *ioStatus = {status, 0};
  return status;
}

ScopedWriteFailure::ScopedWriteFailure(uint64_t bytes) {
  std::lock_guard guard(openLock);
  writableBytes = bytes;
}

ScopedWriteFailure::~ScopedWriteFailure() {
  std::lock_guard guard(openLock);
  writableBytes.reset();
}

}  // namespace ksv::platform::kernel
