#include "avifix/target_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "include/win32_errors.h"
#include "platform/files/files.h"

namespace ksv::avifix {
namespace {

RenameCall renameCall = ::rename;

// A fresh name claimed through GetTempFileNameA ("<prefix><hex>.TMP").
std::string ClaimTempName(const std::string& folder, const char* prefix) {
  char name[260];
  if (GetTempFileNameA(folder.c_str(), prefix, 0, name) == 0) return {};
  return name;
}

bool SyncFile(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // folders on some file systems
  ::close(fd);
  return synced;
}

}  // namespace

bool IsReadableFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a {}, b {};
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ClaimWorkFile(const std::string& folder) {
  // The ".TMP" name claims the number; its ".AVI" twin is claimed with
  // O_EXCL, so a user's file that happens to bear that name is skipped.
  for (int tries = 0; tries < 16; ++tries) {
    const std::string claimed = ClaimTempName(folder, "AVI");
    if (claimed.empty()) return {};
    std::string work = claimed;
    work.replace(work.size() - 4, 4, ".AVI");
    const int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const int error = errno;
    ::unlink(claimed.c_str());
    if (fd >= 0) {
      ::close(fd);
      return work;
    }
    if (error != EEXIST) return {};
  }
  return {};
}

bool IsWritableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) != 0 &&
         ::access(path.c_str(), W_OK) == 0;
}

void UseRenameCall(RenameCall call) { renameCall = call != nullptr ? call : ::rename; }

Replaceable CanReplace(const std::string& path) {
  if (!IsWritableFile(path)) return Replaceable::kNo;
  const std::string moved = ClaimTempName(FolderOf(path), "AVM");
  if (moved.empty()) return Replaceable::kNo;
  if (renameCall(path.c_str(), moved.c_str()) != 0) {
    ::unlink(moved.c_str());
    return Replaceable::kNo;
  }
  // The folder just let it go, so it takes it back; a second try rather
  // than leave the file under the temporary name. When both fail the file
  // stays there, and the caller is told so.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (renameCall(moved.c_str(), path.c_str()) == 0) return Replaceable::kYes;
  }
  return Replaceable::kMovedAway;
}

bool DiskNearlyFull(const std::string& path, uint64_t needed) {
  uint64_t available = 0;
  if (!GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return false;
  return available < kDiskNearlyFullBytes || available < needed;
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

DWORD ReplaceWithWorkFile(const std::string& work, const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && ::chmod(work.c_str(), info.st_mode & 07777) != 0) {
    return Win32ErrorOf(errno);
  }
  if (!SyncFile(work, O_RDONLY)) return Win32ErrorOf(errno);
  if (::rename(work.c_str(), target.c_str()) != 0) return Win32ErrorOf(errno);
  SyncFile(FolderOf(target), O_RDONLY | O_DIRECTORY);
  return 0;
}

bool RemoveFile(const std::string& path) {
  return path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

DWORD Win32ErrorOf(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return kErrorGeneral;
  }
}

}  // namespace ksv::avifix
