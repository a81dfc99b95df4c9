#include "apps/ksvcam/stream_output.h"

#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/file_output.h"
#include "apps/ksvcam/picture_convert.h"
#include "apps/ksvcam/picture_writer.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

const char* Extension(StreamFormat format) {
  switch (format) {
    case StreamFormat::kI420:
      return ".i420";
    case StreamFormat::kBgr24:
      return ".bmp";
    case StreamFormat::kKxjs:
      return ".kxjs";
  }
  return "";
}

// frame_ then digits then the extension.
bool IsFrameFileName(const std::string& name, const char* extension) {
  constexpr size_t kPrefix = 6;
  if (name.rfind("frame_", 0) != 0) return false;
  const size_t digitsEnd = name.find_first_not_of("0123456789", kPrefix);
  return digitsEnd != std::string::npos && digitsEnd > kPrefix &&
         name.compare(digitsEnd, std::string::npos, extension) == 0;
}

std::optional<fs::path> FirstFrameFile(const fs::path& folder, const char* extension) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (IsFrameFileName(entry.path().filename().string(), extension)) return entry.path();
  }
  return std::nullopt;
}

class FolderSink final : public FrameSink {
 public:
  FolderSink(fs::path folder, StreamFormat format, codec::FrameSize size, bool overwrite)
      : folder_(std::move(folder)),
        format_(format),
        size_(size),
        existing_(overwrite ? ExistingFile::kReplace : ExistingFile::kKeep) {}

  void Write(std::span<const uint8_t> frame) override {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u%s", ++count_, Extension(format_));
    const fs::path path = folder_ / name;
    if (format_ != StreamFormat::kBgr24) {
      WriteWholeFile(path, frame, existing_);
      return;
    }
    if (frame.size() != codec::Rgb24Bytes(size_)) {
      throw CommandFailure("frame " + std::to_string(count_) + " holds " +
                           std::to_string(frame.size()) + " bytes, not a 24-bit picture");
    }
    WriteWholeFile(path, EncodeBmp(FromBottomUp24(frame, size_, ChannelOrder::kBgr)), existing_);
  }

  void Finish() override {}

  std::string Description() const override {
    return std::to_string(count_) + " " + (Extension(format_) + 1) + " file" +
           (count_ == 1 ? "" : "s") + " in " + Quoted(folder_);
  }

 private:
  fs::path folder_;
  StreamFormat format_;
  codec::FrameSize size_;
  ExistingFile existing_;
  unsigned count_ = 0;
};

class Y4mSink final : public FrameSink {
 public:
  Y4mSink(const fs::path& path, codec::FrameSize size, uint64_t interval)
      : path_(path), size_(size), file_(path, ExistingFile::kReplace) {
    const std::string header = Y4mHeader(size, interval);
    file_.Write({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
  }

  void Write(std::span<const uint8_t> frame) override {
    if (frame.size() != codec::PlanarBytes(size_)) {
      throw CommandFailure("frame " + std::to_string(count_ + 1) + " holds " +
                           std::to_string(frame.size()) + " bytes, not a planar picture");
    }
    static constexpr uint8_t kFrameMarker[] = {'F', 'R', 'A', 'M', 'E', '\n'};
    file_.Write(kFrameMarker);
    file_.Write(frame);
    ++count_;
  }

  void Finish() override { file_.Commit(); }

  std::string Description() const override {
    return std::to_string(count_) + " frame" + (count_ == 1 ? "" : "s") + " in " +
           Quoted(path_);
  }

 private:
  fs::path path_;
  codec::FrameSize size_;
  StreamedFile file_;
  unsigned count_ = 0;
};

std::string FrameRate(uint64_t interval) {
  constexpr uint64_t kUnitsPerSecond = 10'000'000;
  if (interval == 0) return "30:1";
  const double rate = static_cast<double>(kUnitsPerSecond) / static_cast<double>(interval);
  const double whole = std::round(rate);
  if (whole >= 1 && std::abs(rate - whole) <= whole * 0.001) {
    return std::to_string(static_cast<uint64_t>(whole)) + ":1";
  }
  const uint64_t divisor = std::gcd(kUnitsPerSecond, interval);
  return std::to_string(kUnitsPerSecond / divisor) + ":" + std::to_string(interval / divisor);
}

}  // namespace

std::unique_ptr<FrameSink> MakeFolderSink(const fs::path& folder, StreamFormat format,
                                          codec::FrameSize size, bool overwrite) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw CommandFailure("cannot create " + Quoted(folder) + ": " + error.message());
  if (!overwrite) {
    if (const auto existing = FirstFrameFile(folder, Extension(format))) {
      throw CommandFailure(Quoted(folder) + " already holds " +
                           Quoted(existing->filename()) +
                           " from an earlier run; use -y/--overwrite to replace such files");
    }
  }
  return std::make_unique<FolderSink>(folder, format, size, overwrite);
}

std::unique_ptr<FrameSink> MakeY4mSink(const fs::path& path, codec::FrameSize size,
                                       uint64_t interval) {
  return std::make_unique<Y4mSink>(path, size, interval);
}

std::string Y4mHeader(codec::FrameSize size, uint64_t interval) {
  return "YUV4MPEG2 W" + std::to_string(size.width) + " H" + std::to_string(size.height) +
         " F" + FrameRate(interval) + " Ip A1:1 C420jpeg\n";
}

}  // namespace ksv::ksvcam
