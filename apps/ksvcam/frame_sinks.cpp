#include "apps/ksvcam/frame_sinks.h"

#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/parsers.h"
#include "support/picture/colour.h"
#include "support/picture/picture_file.h"
#include "support/picture/whole_file.h"
#include "support/picture/y4m_writer.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

const char* Extension(FrameFile kind) {
  switch (kind) {
    case FrameFile::kI420:
      return ".i420";
    case FrameFile::kKxjs:
      return ".kxjs";
    case FrameFile::kBmp:
      return ".bmp";
    case FrameFile::kPng:
      return ".png";
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
  FolderSink(fs::path folder, FrameFile kind, codec::FrameSize size, bool overwrite)
      : folder_(std::move(folder)),
        kind_(kind),
        size_(size),
        existing_(overwrite ? picture::ExistingFile::kReplace : picture::ExistingFile::kKeep) {}

  void Write(std::span<const uint8_t> frame) override {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u%s", ++count_, Extension(kind_));
    const fs::path path = folder_ / name;
    if (kind_ == FrameFile::kI420 || kind_ == FrameFile::kKxjs) {
      picture::WriteWholeFile(path, frame, existing_);
      return;
    }
    const bool planar = kind_ == FrameFile::kPng;
    if (frame.size() != (planar ? codec::PlanarBytes(size_) : codec::Rgb24Bytes(size_))) {
      throw CommandFailure("frame " + std::to_string(count_) + " holds " +
                           std::to_string(frame.size()) + " bytes, not a " + SizeText(size_) +
                           (planar ? " planar" : " 24-bit") + " picture");
    }
    picture::WritePicture(path,
                          planar ? picture::PlanarToRgb(frame, size_.width, size_.height)
                                 : picture::FromBottomUp24(frame, size_.width, size_.height,
                                                           picture::ChannelOrder::kBgr),
                          existing_);
  }

  void Finish() override {}

  std::string Description() const override {
    return std::to_string(count_) + " " + Extension(kind_) + " file" + (count_ == 1 ? "" : "s") +
           " in " + Quoted(folder_);
  }

 private:
  fs::path folder_;
  FrameFile kind_;
  codec::FrameSize size_;
  picture::ExistingFile existing_;
  unsigned count_ = 0;
};

class Y4mSink final : public FrameSink {
 public:
  Y4mSink(const fs::path& path, codec::FrameSize size, uint64_t interval)
      : path_(path),
        writer_(path, size.width, size.height, picture::FrameRateOfInterval(interval)) {}

  void Write(std::span<const uint8_t> frame) override { writer_.WriteFrame(frame); }

  void Finish() override { writer_.Commit(); }

  std::string Description() const override {
    const uint64_t count = writer_.frames();
    return std::to_string(count) + " frame" + (count == 1 ? "" : "s") + " in " + Quoted(path_);
  }

 private:
  fs::path path_;
  picture::Y4mWriter writer_;
};

// Standard output takes the frames straight from the driver's buffer with
// write(2): no copy, nothing allocated per frame. SIGPIPE is ignored while
// the sink lives so that a reader that closes its end is an EPIPE here.
class Y4mOutputSink final : public FrameSink {
 public:
  Y4mOutputSink(codec::FrameSize size, uint64_t interval)
      : frameBytes_(codec::PlanarBytes(size)) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous_);
    const std::string header =
        picture::Y4mHeader(size.width, size.height, picture::FrameRateOfInterval(interval));
    Put(header.data(), header.size());
  }
  ~Y4mOutputSink() override { sigaction(SIGPIPE, &previous_, nullptr); }
  Y4mOutputSink(const Y4mOutputSink&) = delete;
  Y4mOutputSink& operator=(const Y4mOutputSink&) = delete;

  void Write(std::span<const uint8_t> frame) override {
    if (frame.size() != frameBytes_) {
      throw CommandFailure("frame " + std::to_string(count_ + 1) + " holds " +
                           std::to_string(frame.size()) + " bytes, not a planar picture of " +
                           std::to_string(frameBytes_));
    }
    // The marker and the picture in one write: a system call per frame.
    std::array<iovec, 2> parts{{
        {const_cast<uint8_t*>(picture::kY4mFrameMarker), sizeof picture::kY4mFrameMarker},
        {const_cast<uint8_t*>(frame.data()), frame.size()}}};
    Put(parts);
    ++count_;
  }

  void Finish() override {}

  std::string Description() const override {
    return Counted(count_, "frame") + " to standard output";
  }

 private:
  void Put(const void* data, size_t size) {
    std::array<iovec, 1> whole{{{const_cast<void*>(data), size}}};
    Put(whole);
  }

  // Writes every part in order, however the pipe splits them; the parts'
  // entries are used up.
  void Put(std::span<iovec> left) {
    while (!left.empty()) {
      const ssize_t written = ::writev(STDOUT_FILENO, left.data(), static_cast<int>(left.size()));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) {
        throw CommandFailure(errno == EPIPE
                                 ? "the reader of standard output went away after " +
                                       Counted(count_, "frame")
                                 : std::string("cannot write to standard output: ") +
                                       std::strerror(errno));
      }
      auto done = static_cast<size_t>(written);
      while (!left.empty() && done >= left.front().iov_len) {
        done -= left.front().iov_len;
        left = left.subspan(1);
      }
      if (!left.empty()) {
        left.front().iov_base = static_cast<uint8_t*>(left.front().iov_base) + done;
        left.front().iov_len -= done;
      }
    }
  }

  size_t frameBytes_;
  uint64_t count_ = 0;
  struct sigaction previous_ {};
};

}  // namespace

std::unique_ptr<FrameSink> MakeY4mOutputSink(codec::FrameSize size, uint64_t interval) {
  return std::make_unique<Y4mOutputSink>(size, interval);
}

std::unique_ptr<FrameSink> MakeFolderSink(const fs::path& folder, FrameFile kind,
                                          codec::FrameSize size, bool overwrite) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw CommandFailure("cannot create " + Quoted(folder) + ": " + error.message());
  if (!overwrite) {
    if (const auto existing = FirstFrameFile(folder, Extension(kind))) {
      throw CommandFailure(Quoted(folder) + " already holds " +
                           Quoted(existing->filename()) +
                           " from an earlier run; use -y/--overwrite to replace such files");
    }
  }
  return std::make_unique<FolderSink>(folder, kind, size, overwrite);
}

std::unique_ptr<FrameSink> MakeY4mSink(const fs::path& path, codec::FrameSize size,
                                       uint64_t interval) {
  return std::make_unique<Y4mSink>(path, size, interval);
}

void CheckFrameOutput(const std::string& outDir, const std::string& y4mPath, bool planar) {
  if (!outDir.empty() && !y4mPath.empty()) {
    throw UsageError("give -o FILE.y4m or --out DIR, not both");
  }
  if (y4mPath.empty()) return;
  if (y4mPath != kStandardOutput && fs::path(y4mPath).extension() != ".y4m") {
    throw UsageError("-o writes a YUV4MPEG2 stream and needs a .y4m name (or - for standard "
                     "output); use --out DIR for a file per frame");
  }
  if (!planar) throw UsageError("a .y4m stream holds planar frames; use --format i420");
}

std::unique_ptr<FrameSink> MakeFrameSink(const std::string& outDir, const std::string& y4mPath,
                                         FrameFile kind, codec::FrameSize size, uint64_t interval,
                                         bool overwrite) {
  if (!outDir.empty()) return MakeFolderSink(outDir, kind, size, overwrite);
  if (y4mPath == kStandardOutput) return MakeY4mOutputSink(size, interval);
  if (!y4mPath.empty()) return MakeY4mSink(y4mPath, size, interval);
  return nullptr;
}

}  // namespace ksv::ksvcam
