// A small file system of its own for tests of a full disk: a tmpfs of a
// few KiB mounted on a fresh folder (root only: `mount` needs it).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "testing/temp_files.h"

namespace ksv::testing {

class SmallFileSystem {
 public:
  // Mounts a tmpfs of `bytes` (rounded up to whole pages by the kernel).
  // When that is not possible, ok() is false and why() says why.
  explicit SmallFileSystem(size_t bytes);
  ~SmallFileSystem();
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool ok() const { return mounted_; }
  const std::string& why() const { return why_; }
  const std::filesystem::path& path() const { return mountPoint_; }

  // Writes a file of zeros until the file system is full, leaving
  // `leave` bytes or less free.
  void FillLeaving(size_t leave);

 private:
  TempFolder folder_;
  std::filesystem::path mountPoint_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace ksv::testing
