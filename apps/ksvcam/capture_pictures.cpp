#include "apps/ksvcam/capture_pictures.h"

#include <cstdio>

#include "apps/ksvcam/console.h"
#include "support/picture/colour.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class PictureFolderSink final : public FrameSink {
 public:
  PictureFolderSink(fs::path folder, bool planar, codec::FrameSize size, bool overwrite)
      : folder_(std::move(folder)),
        planar_(planar),
        size_(size),
        existing_(overwrite ? picture::ExistingFile::kReplace : picture::ExistingFile::kKeep) {}

  void Write(std::span<const uint8_t> frame) override {
    ++count_;
    const size_t expected = planar_ ? codec::PlanarBytes(size_) : codec::Rgb24Bytes(size_);
    if (frame.size() != expected) {
      throw CommandFailure("frame " + std::to_string(count_) + " holds " +
                           std::to_string(frame.size()) + " bytes, not a " +
                           std::to_string(size_.width) + "x" + std::to_string(size_.height) +
                           " picture");
    }
    const fs::path path = folder_ / NameOf(count_, planar_);
    picture::WritePicture(path,
                          planar_ ? picture::PlanarToRgb(frame, size_.width, size_.height)
                                  : picture::FromBottomUp24(frame, size_.width, size_.height,
                                                            picture::ChannelOrder::kBgr),
                          existing_);
  }

  void Finish() override {}

  std::string Description() const override {
    return std::to_string(count_) + (planar_ ? " .png" : " .bmp") + " picture" +
           (count_ == 1 ? "" : "s") + " in " + Quoted(folder_);
  }

  static std::string NameOf(unsigned number, bool planar) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u%s", number, planar ? ".png" : ".bmp");
    return name;
  }

 private:
  fs::path folder_;
  bool planar_;
  codec::FrameSize size_;
  picture::ExistingFile existing_;
  unsigned count_ = 0;
};

}  // namespace

std::unique_ptr<FrameSink> MakePictureFolderSink(const fs::path& folder, bool planar,
                                                 codec::FrameSize size, bool overwrite) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw CommandFailure("cannot create " + Quoted(folder) + ": " + error.message());
  if (!overwrite) {
    const std::string first = PictureFolderSink::NameOf(1, planar);
    if (fs::exists(folder / first)) {
      throw CommandFailure(Quoted(folder) + " already holds " + Quoted(first) +
                           " from an earlier run; use -y/--overwrite to replace such files");
    }
  }
  return std::make_unique<PictureFolderSink>(folder, planar, size, overwrite);
}

}  // namespace ksv::ksvcam
