#include "apps/ksvcam/picture_frames.h"

#include "simcam/framing.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {

PictureFrames::PictureFrames(std::vector<std::filesystem::path> pictures, codec::FrameSize size)
    : pictures_(std::move(pictures)), size_(size) {}

int32_t PictureFrames::Next(BYTE* frame, intptr_t self) {
  return reinterpret_cast<PictureFrames*>(self)->FillNext(frame) ? 1 : 0;
}

bool PictureFrames::FillNext(BYTE* frame) {
  while (next_ < pictures_.size()) {
    const std::filesystem::path& path = pictures_[next_++];
    try {
      WriteBottomUpBgr(picture::ReadPicture(path), size_, frame);
      delivered_.fetch_add(1, std::memory_order_acq_rel);
      return true;
    } catch (const std::exception& failure) {
      const std::lock_guard guard(skippedLock_);
      skipped_.push_back({path, std::string("unreadable: ") + failure.what()});
    }
  }
  return false;
}

std::vector<picture::SkippedFile> PictureFrames::skipped() const {
  const std::lock_guard guard(skippedLock_);
  return skipped_;
}

void WriteBottomUpBgr(const picture::RgbPicture& source, codec::FrameSize size, BYTE* frame) {
  const bool fits = source.width == size.width && source.height == size.height;
  const picture::RgbPicture framed =
      fits ? picture::RgbPicture{} : simcam::FitToSize(source, size.width, size.height);
  const picture::RgbPicture& picture = fits ? source : framed;
  const size_t row = size_t{size.width} * 3;
  for (uint32_t y = 0; y < size.height; ++y) {
    const uint8_t* in = picture.pixels.data() + row * y;
    BYTE* out = frame + row * (size.height - 1 - y);
    for (uint32_t x = 0; x < size.width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
}

}  // namespace ksv::ksvcam
