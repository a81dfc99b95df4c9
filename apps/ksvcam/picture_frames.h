// The frames `avi images` hands the media graph library through its frame
// callback: the pictures of a folder in name order, each written as a
// bottom-up B, G, R bitmap of the frame size. A picture of the frame size
// goes in as it is; one of another size is centre-cropped to the frame's
// aspect and resampled (as the camera frames a scene), never stretched. A
// picture that does not read is passed over and named afterwards.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include "codec/frame_format.h"
#include "include/win32_types.h"
#include "support/picture/photo_files.h"

namespace ksv::ksvcam {

class PictureFrames {
 public:
  PictureFrames(std::vector<std::filesystem::path> pictures, codec::FrameSize size);

  // The frame callback (QmgFrameCallback) with `self` a PictureFrames:
  // fills the next frame, or returns 0 after the last picture. Called on
  // the graph's streaming thread.
  static int32_t Next(BYTE* frame, intptr_t self);

  codec::FrameSize size() const { return size_; }
  size_t total() const { return pictures_.size(); }
  // Frames delivered so far; any thread.
  size_t delivered() const { return delivered_.load(std::memory_order_acquire); }
  // The pictures passed over so far, with the reason.
  std::vector<picture::SkippedFile> skipped() const;

 private:
  bool FillNext(BYTE* frame);

  const std::vector<std::filesystem::path> pictures_;
  const codec::FrameSize size_;
  size_t next_ = 0;  // the streaming thread's
  std::atomic<size_t> delivered_{0};
  mutable std::mutex skippedLock_;
  std::vector<picture::SkippedFile> skipped_;  // guarded by skippedLock_
};

// Writes `picture` (top-down R, G, B) into `frame` as a bottom-up B, G, R
// bitmap of `size`, framing it as above.
void WriteBottomUpBgr(const picture::RgbPicture& picture, codec::FrameSize size, BYTE* frame);

}  // namespace ksv::ksvcam
