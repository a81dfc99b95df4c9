// Work folders that several processes share. A library's work folder (the
// clip work folder beside the camera access library, and every other folder
// a library keeps its own work files in) may be used by any number of
// handles in any number of processes at once. Each handle therefore works
// in a sub-folder of its own, owned through a lock on a file beside it:
//
//   parent/work-Ab3xYz.lock   locked (flock) for as long as the owner lives
//   parent/work-Ab3xYz/       the owner's work files
//
// Only the owner removes its sub-folder, when it is released; a sub-folder
// whose lock is free belongs to an owner that is gone (a process that
// ended without releasing it) and is removed by the next claim. No claim
// and no release ever deletes a file another live handle owns.
#pragma once

#include <string>

namespace ksv::common {

class WorkFolder {
 public:
  WorkFolder() = default;
  ~WorkFolder() { Release(); }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  WorkFolder(WorkFolder&& other) noexcept;
  WorkFolder& operator=(WorkFolder&& other) noexcept;

  // Claims a new, empty sub-folder of `parent` (made, level by level, when
  // missing) after removing those of owners that are gone. False, with
  // nothing claimed, when the parent cannot be made or written.
  bool Claim(const std::string& parent);

  // Removes the sub-folder with everything in it and gives up the lock.
  // Harmless when nothing is claimed.
  void Release();

  bool claimed() const { return lock_ >= 0; }
  // The sub-folder, ending in "/"; empty when nothing is claimed.
  const std::string& path() const { return path_; }

 private:
  int lock_ = -1;
  std::string lockPath_;
  std::string path_;
};

// Removes the sub-folders of `parent` whose owners are gone; those of live
// owners, and anything else in the parent, stay. Returns how many it removed.
size_t RemoveAbandonedWorkFolders(const std::string& parent);

}  // namespace ksv::common
