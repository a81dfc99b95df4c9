// Reading inputs and writing outputs so that a failed or interrupted write
// never leaves a half-written file under the final name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace ksv::ksvcam {

// The whole file, refused when it holds more than `maxBytes` (inputs are
// hostile). Throws CommandFailure naming the file and the reason.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes);

enum class ExistingFile {
  kReplace,  // -o: the person named this file
  kKeep,     // --out DIR without -y: an earlier file must survive
};

// Writes `bytes` to a temporary file next to `path`, then moves it into
// place. With kKeep an existing `path` is left untouched and the write fails.
// Throws CommandFailure.
void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                    ExistingFile existing);

// A file too long to hold in memory, written piece by piece to a temporary
// file next to `path` and moved into place by Commit(). Destroyed without
// Commit(), it leaves nothing behind. Throws CommandFailure.
class StreamedFile {
 public:
  StreamedFile(const std::filesystem::path& path, ExistingFile existing);
  ~StreamedFile();
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;

  void Write(std::span<const uint8_t> bytes);
  void Commit();

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  ExistingFile existing_;
  int fd_ = -1;
};

}  // namespace ksv::ksvcam
