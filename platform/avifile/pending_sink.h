// Where a save writes: a temporary file beside the target (same folder, so
// that committing is one rename onto the target). Until Commit the target
// is untouched; a sink destroyed without Commit removes its file.
#pragma once

#include <string>

#include "platform/media/avi/byte_io.h"

namespace ksv::avifile {

class PendingSink final : public media::avi::ByteSink {
 public:
  PendingSink() = default;
  ~PendingSink() override;
  PendingSink(const PendingSink&) = delete;
  PendingSink& operator=(const PendingSink&) = delete;

  // Creates the temporary file for `target`; false (errno set) on failure.
  bool Open(const std::string& target);
  bool WriteAt(uint64_t offset, const media::avi::ByteRange* pieces, size_t count) override;
  // Flushes, closes and renames onto the target; false on failure (the
  // temporary file is then removed).
  bool Commit();
  void Discard();

 private:
  int fd_ = -1;
  std::string target_;
  std::string temporary_;
};

}  // namespace ksv::avifile
