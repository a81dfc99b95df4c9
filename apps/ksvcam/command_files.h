// The files a command names: inputs, which must be regular files (a pipe or
// a device would block the reader for ever), and outputs the media
// framework writes (-o, --avi, --wav, a graph's File writer), which are
// written under a hidden name beside them and put in place only when whole.
#pragma once

#include <string>
#include <vector>

#include "apps/ksvcam/interruption.h"
#include "support/picture/atomic_path.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {

// Throws CommandFailure unless `path` is a regular file (after symbolic
// links): "no file 'x'", "'x' is a folder", "'x' is not a regular file (a
// pipe or a device)". Never opens it, so it cannot block.
void RequireRegularFile(const std::string& path);

// Throws UsageError when `output` is an existing folder or the same file as
// one of `inputs`, however spelled (device and inode are compared).
void CheckOutputPath(const std::string& output, const std::vector<std::string>& inputs);

// An output checked with CheckOutputPath, its hidden temporary made beside
// it. The writer writes temporary(); Commit() puts the file in place.
// Dropped without Commit(), the file that was there stays as it was and
// nothing is left; a second Ctrl-C removes the temporary too.
class OutputFile {
 public:
  OutputFile(const std::string& path, const std::vector<std::string>& inputs);

  const std::string& path() const { return path_; }
  std::string temporary() const { return file_.temporary().string(); }
  // Throws CommandFailure when the file cannot be put in place.
  void Commit();

 private:
  std::string path_;
  InterruptWatch watch_;
  picture::AtomicPath file_;
  AbortCleanup cleanup_;
};

}  // namespace ksv::ksvcam
