#include "platform/avifile/pending_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace ksv::avifile {

PendingSink::~PendingSink() { Discard(); }

bool PendingSink::Open(const std::string& target) {
  Discard();
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::fchmod(fd, 0644);  // as a file the user creates, not mkstemp's 0600
  fd_ = fd;
  target_ = target;
  temporary_ = pattern;
  return true;
}

bool PendingSink::WriteAt(uint64_t offset, const media::avi::ByteRange* pieces, size_t count) {
  if (fd_ < 0) return false;
  std::vector<iovec> vectors;
  uint64_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].size == 0) continue;
    vectors.push_back({const_cast<void*>(pieces[i].data), pieces[i].size});
    total += pieces[i].size;
  }
  size_t first = 0;
  while (total != 0) {
    const ssize_t wrote = ::pwritev(fd_, vectors.data() + first,
                                    static_cast<int>(std::min<size_t>(vectors.size() - first, 1024)),
                                    static_cast<off_t>(offset));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    auto done = static_cast<uint64_t>(wrote);
    offset += done;
    total -= done;
    while (done != 0) {
      iovec& piece = vectors[first];
      if (done >= piece.iov_len) {
        done -= piece.iov_len;
        ++first;
      } else {
        piece.iov_base = static_cast<uint8_t*>(piece.iov_base) + done;
        piece.iov_len -= done;
        done = 0;
      }
    }
  }
  return true;
}

bool PendingSink::Commit() {
  if (fd_ < 0) return false;
  const bool flushed = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!flushed || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  temporary_.clear();
  return true;
}

void PendingSink::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace ksv::avifile
