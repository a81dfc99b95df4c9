// Whole files in and out. Reads are bounded (inputs are hostile); writes go
// to a temporary file in the target's folder and are then renamed over the
// final name, so the final name never holds a partial file and a failed
// write never destroys the file that was there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace ksv::picture {

// A file-system failure; the message names the file and the cause.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& message, int error) : std::runtime_error(message), error_(error) {}
  // The errno value (EEXIST for a file kept, EFBIG for an input too large).
  int error() const { return error_; }

 private:
  int error_;
};

// The whole file; throws FileError when it cannot be read, is a folder or
// holds more than `maxBytes`.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes);

enum class ExistingFile {
  kReplace,  // the person named this file: replace it
  kKeep,     // an earlier file must survive: fail with EEXIST instead
};

// Writes `bytes` as the file `path`, atomically (see above). A `path` that
// names an existing device or pipe is written in place (there is no file to
// protect); a symbolic link is followed. Throws FileError.
void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                    ExistingFile existing = ExistingFile::kReplace);

// The same without exceptions, for C interfaces: 0, or the errno value of
// the failure.
int TryWriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                      ExistingFile existing = ExistingFile::kReplace) noexcept;

// A file too long to hold in memory, written piece by piece to its
// temporary file and put in place by Commit(). Destroyed without Commit(),
// it leaves nothing behind. Throws FileError.
class AtomicFile {
 public:
  explicit AtomicFile(const std::filesystem::path& path,
                      ExistingFile existing = ExistingFile::kReplace);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::span<const uint8_t> bytes);
  void Commit();

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  ExistingFile existing_;
  int fd_ = -1;
};

}  // namespace ksv::picture
