#include "support/picture/whole_file.h"

#include "support/picture/atomic_path.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace ksv::picture {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

FileError WriteFailure(const fs::path& path, int error) {
  if (error == EEXIST) return FileError(Quoted(path) + " already exists; not replaced", error);
  return FileError("cannot write " + Quoted(path) + ": " + std::strerror(error), error);
}

// Closes on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now so that a deferred write error is seen: errno or 0.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int WriteBytes(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (done == 0) return EIO;
    bytes = bytes.subspan(static_cast<size_t>(done));
  }
  return 0;
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Where the bytes finally go: a symbolic link is followed, so the file it
// names is replaced rather than the link.
fs::path FinalPath(const fs::path& path) {
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
  const fs::path target = fs::weakly_canonical(path, error);
  return error ? path : target;
}

// True when `path` exists and is neither a plain file nor a folder: a
// device or a pipe, written in place.
bool IsSpecialFile(const fs::path& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

}  // namespace

std::string TemporaryNamePrefix(const fs::path& path) {
  return "." + path.filename().string() + ".part-" + std::to_string(::getpid()) + "-";
}

namespace {

// A fresh hidden file next to `target`; its name cannot collide with
// another writer's. errno on failure.
int CreateTemporary(const fs::path& target, fs::path& temporary, int& fd) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = FolderOf(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder / (TemporaryNamePrefix(target) + std::to_string(counter++));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Moves `from` to `to` unless `to` exists. Falls back to a hard link on
// file systems without the no-replace rename.
int MoveWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

// Closes `fd` and renames `temporary` to `path`; on any failure the
// temporary is removed. errno or 0.
//
// The file is not synced to the disk first: a download writes many files,
// and a sync each would cost it more than the writing itself (it halved the
// camera download's rate). The rename is what keeps a reader or a failed
// write from ever seeing part of a file under its name; surviving a power
// cut is left to the file system, as cp and the usual tools leave it.
int FinishTemporary(int fd, const fs::path& temporary, const fs::path& path, ExistingFile existing,
                    int error) {
  Descriptor file(fd);
  const int closeError = file.Close();
  if (error == 0) error = closeError;
  if (error == 0) {
    if (existing == ExistingFile::kReplace) {
      error = ::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    } else {
      error = MoveWithoutReplacing(temporary, path);
    }
  }
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

int WriteInPlace(const fs::path& path, std::span<const uint8_t> bytes) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return errno;
  const int error = WriteBytes(file.get(), bytes);
  const int closeError = file.Close();
  return error != 0 ? error : closeError;
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const fs::path& path, size_t maxBytes) {
  // Non-blocking, so that a pipe in a file's place cannot hang the reader.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) {
    const int error = errno;
    throw FileError("cannot read " + Quoted(path) + ": " + std::strerror(error), error);
  }
  struct stat status {};
  if (::fstat(file.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
    throw FileError("cannot read " + Quoted(path) + ": it is a folder", EISDIR);
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      throw FileError("cannot read " + Quoted(path) + ": " + std::strerror(error), error);
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > maxBytes) {
      throw FileError(Quoted(path) + " is too large (over " + std::to_string(maxBytes) + " bytes)",
                      EFBIG);
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

int TryWriteWholeFile(const fs::path& path, std::span<const uint8_t> bytes,
                      ExistingFile existing) noexcept {
  try {
    if (path.empty()) return ENOENT;
    const fs::path target = FinalPath(path);
    if (IsSpecialFile(target)) {
      return existing == ExistingFile::kKeep ? EEXIST : WriteInPlace(target, bytes);
    }
    fs::path temporary;
    int fd = -1;
    if (const int error = CreateTemporary(target, temporary, fd); error != 0) return error;
    return FinishTemporary(fd, temporary, target, existing, WriteBytes(fd, bytes));
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  } catch (const fs::filesystem_error& failure) {
    return failure.code().value();
  }
}

void WriteWholeFile(const fs::path& path, std::span<const uint8_t> bytes, ExistingFile existing) {
  if (const int error = TryWriteWholeFile(path, bytes, existing); error != 0) {
    throw WriteFailure(path, error);
  }
}

AtomicFile::AtomicFile(const fs::path& path, ExistingFile existing)
    : path_(FinalPath(path)), existing_(existing) {
  if (const int error = CreateTemporary(path_, temporary_, fd_); error != 0) {
    throw WriteFailure(path, error);
  }
}

AtomicFile::~AtomicFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
}

void AtomicFile::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) throw FileError("cannot write " + Quoted(path_) + ": already finished", EBADF);
  if (const int error = WriteBytes(fd_, bytes); error != 0) throw WriteFailure(path_, error);
}

void AtomicFile::Commit() {
  if (fd_ < 0) throw FileError("cannot write " + Quoted(path_) + ": already finished", EBADF);
  const int fd = fd_;
  fd_ = -1;
  if (const int error = FinishTemporary(fd, temporary_, path_, existing_, 0); error != 0) {
    throw WriteFailure(path_, error);
  }
}

AtomicPath::AtomicPath(const fs::path& path) : path_(FinalPath(path)) {
  int fd = -1;
  if (const int error = CreateTemporary(path_, temporary_, fd); error != 0) {
    throw WriteFailure(path, error);
  }
  ::close(fd);
}

AtomicPath::~AtomicPath() {
  if (committed_) return;
  ::unlink(temporary_.c_str());
  // The writer's own temporary file beside it, when it left one.
  const std::string prefix = "." + temporary_.filename().string() + ".";
  std::error_code error;
  for (fs::directory_iterator entry(FolderOf(temporary_), error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->path().filename().string().starts_with(prefix)) ::unlink(entry->path().c_str());
  }
}

void AtomicPath::Commit() {
  if (committed_) throw FileError("cannot write " + Quoted(path_) + ": already finished", EBADF);
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) throw WriteFailure(path_, errno);
  committed_ = true;
}

}  // namespace ksv::picture
