// Positioned reads and writes: where the AVI and WAV readers get their bytes
// (a file, or the reader a file source filter hands its parser) and where
// the writers put theirs (a file, or the samples a multiplexer delivers to a
// file sink). Writes may go anywhere: headers are written again once the
// sizes they hold are known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ksv::media::avi {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The bytes there are now (a growing source may grow later).
  virtual uint64_t Size() = 0;
  // Exactly `size` bytes at `offset`; false when they are not all there or
  // the read failed.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

// One piece of a gathered write.
struct ByteRange {
  const void* data;
  size_t size;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes the pieces one after another from `offset`; false on failure.
  virtual bool WriteAt(uint64_t offset, const ByteRange* pieces, size_t count) = 0;
};

// Bytes already in memory (a fuzzer's input, a file a test made); they are
// not copied and must outlive the source.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A file opened for reading (pread) or writing (pwritev). The file is
// closed with the object.
class FileByteSource final : public ByteSource {
 public:
  // Throws std::system_error naming the path when the file cannot be opened.
  explicit FileByteSource(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;
  uint64_t Size() override;
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  int fd_;
};

class FileByteSink final : public ByteSink {
 public:
  // Creates or truncates the file; throws std::system_error on failure.
  explicit FileByteSink(const std::string& path);
  ~FileByteSink() override;
  FileByteSink(const FileByteSink&) = delete;
  FileByteSink& operator=(const FileByteSink&) = delete;
  bool WriteAt(uint64_t offset, const ByteRange* pieces, size_t count) override;
  // The errno of the last failed write (ENOSPC tells a full disk).
  int LastError() const { return lastError_; }

 private:
  int fd_;
  int lastError_ = 0;
};

}  // namespace ksv::media::avi
