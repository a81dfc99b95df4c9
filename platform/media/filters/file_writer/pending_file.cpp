#include "platform/media/filters/file_writer/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/media/filters/file_errors.h"

namespace ksv::media::filters {

namespace {

// ".name.<pid>-<n>.part" in the target's folder: hidden, and unique
// within this process and against other processes.
std::string TemporaryNameFor(const std::string& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  char suffix[64];
  std::snprintf(suffix, sizeof(suffix), ".%d-%u-%u.part", static_cast<int>(getpid()),
                counter.fetch_add(1), attempt);
  return folder + "." + name + suffix;
}

}  // namespace

PendingFile::~PendingFile() { Discard(); }

HRESULT PendingFile::Open(const std::string& target) {
  Discard();
  if (target.empty() || target.back() == '/') return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary = TemporaryNameFor(target, attempt);
    // Mode 0666 less the umask, as the file would have had if created
    // under its own name.
    const int fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      target_ = target;
      temporary_ = temporary;
      return S_OK;
    }
    if (errno != EEXIST) return HresultFromErrno(errno);
  }
  return HresultFromErrno(EEXIST);
}

HRESULT PendingFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (fd_ < 0) return E_UNEXPECTED;
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return HresultFromErrno(errno);
    }
    if (wrote == 0) return HresultFromErrno(ENOSPC);
    done += static_cast<size_t>(wrote);
  }
  return S_OK;
}

uint64_t PendingFile::Size() const {
  struct stat status{};
  if (fd_ < 0 || fstat(fd_, &status) != 0) return 0;
  return static_cast<uint64_t>(status.st_size);
}

HRESULT PendingFile::Commit() {
  if (fd_ < 0) return E_UNEXPECTED;
  // close reports write-back errors a file system kept for it.
  const int closed = close(fd_);
  const int closeError = errno;
  fd_ = -1;
  HRESULT result = closed == 0 ? S_OK : HresultFromErrno(closeError);
  if (SUCCEEDED(result) && rename(temporary_.c_str(), target_.c_str()) != 0) {
    result = HresultFromErrno(errno);
  }
  if (FAILED(result)) unlink(temporary_.c_str());
  temporary_.clear();
  return result;
}

void PendingFile::Discard() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace ksv::media::filters
