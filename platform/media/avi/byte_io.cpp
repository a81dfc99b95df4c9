#include "platform/media/avi/byte_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace ksv::media::avi {

namespace {

int OpenOrThrow(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), path);
  return fd;
}

}  // namespace

bool MemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  if (size != 0) std::memcpy(buffer, bytes_.data() + offset, size);
  return true;
}

// Non-blocking, and only a regular file: a pipe or a device in a file's
// place would block the reader for ever (O_NONBLOCK does nothing to the
// reads of a regular file).
FileByteSource::FileByteSource(const std::string& path)
    : fd_(OpenOrThrow(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    ::close(fd_);
    throw std::system_error(error, std::generic_category(), path + ": not a regular file");
  }
}

FileByteSource::~FileByteSource() { ::close(fd_); }

uint64_t FileByteSource::Size() {
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || status.st_size < 0) return 0;
  return static_cast<uint64_t>(status.st_size);
}

bool FileByteSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
  auto* at = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    const ssize_t got = ::pread(fd_, at, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // an error, or the file ends first
    at += got;
    offset += static_cast<uint64_t>(got);
    size -= static_cast<size_t>(got);
  }
  return true;
}

FileByteSink::FileByteSink(const std::string& path)
    : fd_(OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC)) {}

FileByteSink::~FileByteSink() { ::close(fd_); }

bool FileByteSink::WriteAt(uint64_t offset, const ByteRange* pieces, size_t count) {
  // Gathered in batches of a fixed size: no allocation per write.
  constexpr size_t kBatch = 64;
  iovec vectors[kBatch];
  size_t next = 0;       // the first piece not yet in a batch
  size_t skipFirst = 0;  // bytes of pieces[next] already written
  while (next < count) {
    size_t used = 0;
    for (size_t i = next; i < count && used < kBatch; ++i) {
      const size_t skip = i == next ? skipFirst : 0;
      if (pieces[i].size == skip) continue;
      vectors[used].iov_base =
          const_cast<uint8_t*>(static_cast<const uint8_t*>(pieces[i].data) + skip);
      vectors[used].iov_len = pieces[i].size - skip;
      ++used;
    }
    if (used == 0) return true;
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
      lastError_ = EFBIG;
      return false;
    }
    ssize_t wrote = ::pwritev(fd_, vectors, static_cast<int>(used), static_cast<off_t>(offset));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      lastError_ = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    offset += static_cast<uint64_t>(wrote);
    // Step over what was written, piece by piece.
    size_t left = static_cast<size_t>(wrote);
    while (next < count && left > 0) {
      const size_t rest = pieces[next].size - skipFirst;
      if (left < rest) {
        skipFirst += left;
        left = 0;
      } else {
        left -= rest;
        ++next;
        skipFirst = 0;
      }
    }
    while (next < count && pieces[next].size == skipFirst) {
      ++next;
      skipFirst = 0;
    }
  }
  return true;
}

}  // namespace ksv::media::avi
