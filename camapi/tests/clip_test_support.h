// Clips for the tests of the clip samples and the download source filter:
// frames that tell each other apart, a WAV file of a tone, the stored clip
// made from them as the camera makes it, attached to an open context as the
// stream download attaches the clip it converts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camapi/camera_context.h"
#include "outside/bulk/memory/stored_item.h"
#include "platform/media/base/allocator.h"
#include "simcam/memory_builder.h"
#include "support/picture/picture.h"

namespace ksv::camapi::testing {

// `count` pictures of horizontal bands 16 rows high, alternately dark and
// light, each picture in its own colours.
std::vector<picture::RgbPicture> BandedFrames(size_t count, uint32_t width, uint32_t height);

// A 16-bit mono WAV file: a tone of `hertz` for `seconds`.
std::vector<uint8_t> ToneWav(uint32_t rate, double hertz, double seconds);
// The tone's samples as the WAV holds them.
std::vector<int16_t> ToneSamples(uint32_t rate, double hertz, double seconds);

// A clip with sound (subtype 3 in the 320 x 240 mode, 4 in the 160 x 128
// one) of `frames` and the WAV file's sound.
outside::bulk::StoredItem ToneClip(const std::vector<picture::RgbPicture>& frames,
                                   simcam::ClipSound sound, const std::vector<uint8_t>& wav);

// The item as the stream carries it: its 64-byte header, then its data.
std::vector<uint8_t> StreamForm(const outside::bulk::StoredItem& item);

// The clip made the context's current clip: its bytes kept here, the clip
// work folder made and an information file named for it (unless `ksv`).
class AttachedClip {
 public:
  AttachedClip(CameraContext& context, const outside::bulk::StoredItem& item, bool ksv = false);
  ~AttachedClip();
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  CameraContext& context_;
  std::vector<uint8_t> bytes_;
};

// What one sample function gave.
struct Pulled {
  HRESULT result = E_FAIL;
  int last = -1;
  std::vector<uint8_t> data;
  REFERENCE_TIME start = -1, end = -1;
};

// Samples of `bytes` bytes, one at a time, from a committed allocator.
class SamplePool {
 public:
  explicit SamplePool(LONG bytes);
  ~SamplePool();
  Pulled Pull(HRESULT (*function)(IMediaSample*, int*));

 private:
  CMemAllocator* allocator_;
};

// The n-th picture of `frames` nearest `rgb` (top-down R, G, B of the same
// size), by PSNR, and that PSNR.
size_t NearestFrame(const std::vector<picture::RgbPicture>& frames,
                    const std::vector<uint8_t>& rgb, double* psnr);

// Bottom-up B, G, R rows (as samples carry them) as top-down R, G, B.
std::vector<uint8_t> BottomUpBgrToRgb(std::span<const uint8_t> bgr, uint32_t width,
                                      uint32_t height);

// Rows `first` to `first + count - 1` of a picture.
picture::RgbPicture Rows(const picture::RgbPicture& picture, uint32_t first, uint32_t count);

}  // namespace ksv::camapi::testing
