#include "common/work_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "common/folders.h"

namespace ksv::common {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "work-";
constexpr std::string_view kLockSuffix = ".lock";

// The owner writes its process id into the lock file once it holds the
// lock: an empty lock file is one whose owner is still being made, never
// an abandoned one.
bool MarkOwned(int fd) {
  const std::string id = std::to_string(::getpid()) + "\n";
  return ::write(fd, id.data(), id.size()) == static_cast<ssize_t>(id.size());
}

// Removes the sub-folder of `lockPath` when its owner is gone.
bool RemoveIfAbandoned(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat held {}, named {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && held.st_size > 0 &&
      ::stat(lockPath.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
      named.st_dev == held.st_dev) {
    // Held by us, marked by an owner that let go, and still the file under
    // that name (not a new owner's that took the name since).
    std::error_code error;
    fs::remove_all(lockPath.substr(0, lockPath.size() - kLockSuffix.size()), error);
    removed = ::unlink(lockPath.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

}  // namespace

WorkFolder::WorkFolder(WorkFolder&& other) noexcept
    : lock_(std::exchange(other.lock_, -1)),
      lockPath_(std::move(other.lockPath_)),
      path_(std::move(other.path_)) {
  other.lockPath_.clear();
  other.path_.clear();
}

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
  if (this != &other) {
    Release();
    lock_ = std::exchange(other.lock_, -1);
    lockPath_ = std::move(other.lockPath_);
    path_ = std::move(other.path_);
    other.lockPath_.clear();
    other.path_.clear();
  }
  return *this;
}

bool WorkFolder::Claim(const std::string& parent) {
  Release();
  const std::string base = WithSlash(parent);
  if (!CreateFolderChain(base)) return false;
  RemoveAbandonedWorkFolders(base);
  std::string lockPath = base + std::string(kPrefix) + "XXXXXX" + std::string(kLockSuffix);
  const int fd = ::mkostemps(lockPath.data(), static_cast<int>(kLockSuffix.size()), O_CLOEXEC);
  if (fd < 0) return false;
  const std::string folder = lockPath.substr(0, lockPath.size() - kLockSuffix.size());
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !MarkOwned(fd) || ::mkdir(folder.c_str(), 0700) != 0) {
    ::unlink(lockPath.c_str());
    ::close(fd);
    return false;
  }
  lock_ = fd;
  lockPath_ = std::move(lockPath);
  path_ = folder + "/";
  return true;
}

void WorkFolder::Release() {
  if (lock_ < 0) return;
  std::error_code error;
  fs::remove_all(path_, error);
  ::unlink(lockPath_.c_str());
  ::close(lock_);  // gives up the lock
  lock_ = -1;
  lockPath_.clear();
  path_.clear();
}

size_t RemoveAbandonedWorkFolders(const std::string& parent) {
  std::vector<std::string> locks;
  std::error_code error;
  for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > kPrefix.size() + kLockSuffix.size() && name.starts_with(kPrefix) &&
        name.ends_with(kLockSuffix)) {
      locks.push_back(it->path().string());
    }
  }
  size_t removed = 0;
  for (const std::string& lock : locks) removed += RemoveIfAbandoned(lock) ? 1 : 0;
  return removed;
}

}  // namespace ksv::common
