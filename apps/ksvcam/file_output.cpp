#include "apps/ksvcam/file_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string Reason(int error) { return std::strerror(error); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now so a deferred write error is seen; returns errno or 0.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Creates a fresh hidden file next to `target`; its name cannot collide with
// another writer's.
fs::path CreateTemporary(const fs::path& target, int& fd) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        folder / ("." + target.filename().string() + ".part-" + std::to_string(::getpid()) + "-" +
                  std::to_string(counter++));
    fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return candidate;
    if (errno != EEXIST) break;
  }
  throw CommandFailure("cannot write " + Quoted(target) + ": " + Reason(errno));
}

int WriteBytes(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes = bytes.subspan(static_cast<size_t>(done));
  }
  return 0;
}

// Moves `from` to `to` unless `to` exists. Falls back to a hard link on file
// systems without the no-replace rename.
int MoveWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const fs::path& path, size_t maxBytes) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw CommandFailure("cannot read " + Quoted(path) + ": " + Reason(errno));
  struct stat status {};
  if (::fstat(file.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
    throw CommandFailure("cannot read " + Quoted(path) + ": it is a folder");
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw CommandFailure("cannot read " + Quoted(path) + ": " + Reason(errno));
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > maxBytes) {
      throw CommandFailure(Quoted(path) + " is too large (over " + std::to_string(maxBytes) +
                           " bytes)");
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

// Syncs and closes `fd` and moves `temporary` to `path`; on any failure the
// temporary is removed and CommandFailure names the reason.
void FinishTemporary(int fd, const fs::path& temporary, const fs::path& path,
                     ExistingFile existing, int error) {
  Descriptor file(fd);
  if (error == 0 && ::fdatasync(file.get()) != 0) error = errno;
  const int closeError = file.Close();
  if (error == 0) error = closeError;
  if (error == 0) {
    if (existing == ExistingFile::kReplace) {
      error = ::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    } else {
      error = MoveWithoutReplacing(temporary, path);
    }
  }
  if (error == 0) return;
  ::unlink(temporary.c_str());
  if (error == EEXIST) throw CommandFailure(Quoted(path) + " already exists; not replaced");
  throw CommandFailure("cannot write " + Quoted(path) + ": " + Reason(error));
}

void WriteWholeFile(const fs::path& path, std::span<const uint8_t> bytes, ExistingFile existing) {
  int fd = -1;
  const fs::path temporary = CreateTemporary(path, fd);
  FinishTemporary(fd, temporary, path, existing, WriteBytes(fd, bytes));
}

StreamedFile::StreamedFile(const fs::path& path, ExistingFile existing)
    : path_(path), existing_(existing) {
  temporary_ = CreateTemporary(path, fd_);
}

StreamedFile::~StreamedFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
}

void StreamedFile::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) throw CommandFailure("cannot write " + Quoted(path_) + ": already finished");
  const int error = WriteBytes(fd_, bytes);
  if (error != 0) throw CommandFailure("cannot write " + Quoted(path_) + ": " + Reason(error));
}

void StreamedFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  FinishTemporary(fd, temporary_, path_, existing_, 0);
}

}  // namespace ksv::ksvcam
