#include "platform/files/files.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

constexpr size_t kMaxPath = 260;
constexpr UINT kMaxUnique = 0xFFFF;

std::string TempName(const char* path, const char* prefix, UINT unique) {
  std::string name = path;
  if (!name.empty() && name.back() != '/') name += '/';
  name.append(prefix != nullptr ? prefix : "", 0, 3);
  char number[16];
  std::snprintf(number, sizeof number, "%X.TMP", unique);
  return name + number;
}

bool FitsAndCopy(const std::string& name, char* out) {
  if (name.size() >= kMaxPath) return false;
  name.copy(out, name.size());
  out[name.size()] = '\0';
  return true;
}

}  // namespace

extern "C" {

UINT GetTempFileNameA(const char* path, const char* prefix, UINT unique, char* tempFileName) {
  if (path == nullptr || tempFileName == nullptr) return 0;
  if (unique != 0) {
    return FitsAndCopy(TempName(path, prefix, unique), tempFileName) ? unique : 0;
  }
  // Start somewhere that differs between processes so that two of them
  // rarely race for the same names; O_EXCL settles any race.
  static std::atomic<UINT> next{static_cast<UINT>(::getpid())};
  for (UINT tries = 0; tries < kMaxUnique; ++tries) {
    const UINT candidate = next++ % kMaxUnique + 1;
    const std::string name = TempName(path, prefix, candidate);
    if (name.size() >= kMaxPath) return 0;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      FitsAndCopy(name, tempFileName);
      return candidate;
    }
    if (errno != EEXIST) return 0;  // no such folder, no right to write
  }
  return 0;
}

BOOL GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesAvailable,
                         uint64_t* totalBytes, uint64_t* totalFreeBytes) {
  struct statvfs info {};
  if (::statvfs(directory != nullptr ? directory : ".", &info) != 0) return FALSE;
  const uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  if (freeBytesAvailable != nullptr) *freeBytesAvailable = uint64_t{info.f_bavail} * unit;
  if (totalBytes != nullptr) *totalBytes = uint64_t{info.f_blocks} * unit;
  if (totalFreeBytes != nullptr) *totalFreeBytes = uint64_t{info.f_bfree} * unit;
  return TRUE;
}

}  // extern "C"
