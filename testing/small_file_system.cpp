#include "testing/small_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ksv::testing {

SmallFileSystem::SmallFileSystem(size_t bytes) : mountPoint_(folder_ / "small") {
  std::filesystem::create_directory(mountPoint_);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  if (::mount("tmpfs", mountPoint_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
    mounted_ = true;
  } else {
    why_ = std::string("cannot mount a small tmpfs: ") + std::strerror(errno) +
           " (the full-disk tests need root)";
  }
}

SmallFileSystem::~SmallFileSystem() {
  if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
}

void SmallFileSystem::FillLeaving(size_t leave) {
  const std::string filler = (mountPoint_ / "filler").string();
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::vector<char> block(4096, 0);
  for (;;) {
    struct statvfs space {};
    if (::statvfs(mountPoint_.c_str(), &space) != 0) break;
    const uint64_t available = uint64_t{space.f_bavail} * space.f_frsize;
    if (available <= leave) break;
    const size_t chunk = std::min<uint64_t>(block.size(), available - leave);
    if (::write(fd, block.data(), chunk) <= 0) break;
  }
  ::close(fd);
}

}  // namespace ksv::testing
