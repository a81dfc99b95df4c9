#include "camapi/picture_resave.h"

#include "camapi/camera_context.h"
#include "common/bitmap_resample.h"
#include "common/packed_bitmap.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"

namespace ksv::camapi {

namespace {

// Frees a global block at the end of a scope.
class OwnedBlock {
 public:
  explicit OwnedBlock(HGLOBAL block) : block_(block) {}
  ~OwnedBlock() {
    if (block_ != nullptr) GlobalFree(block_);
  }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  HGLOBAL get() const { return block_; }

 private:
  HGLOBAL block_;
};

// Saves the 24-bit packed bitmap `block` as a JPEG file at `path`.
bool SaveBitmap(const char* path, HGLOBAL block) {
  void* bits = GlobalLock(block);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(bits);
  const bool ok = header->biBitCount == 24 &&
                  JPEG_SaveBMPImg(path, kJpegQuality, header->biWidth, header->biHeight,
                                  common::PackedBitmapPixels(bits)) != 0;
  GlobalUnlock(block);
  return ok;
}

template <typename Transform>
Resaved Resave(const char* path, Transform transform) {
  const OwnedBlock picture(JPEG_2Dib(path));
  if (picture.get() == nullptr) return Resaved::kKept;
  const OwnedBlock changed(transform(picture.get()));
  if (changed.get() == nullptr) return Resaved::kKept;
  return SaveBitmap(path, changed.get()) ? Resaved::kDone : Resaved::kSaveFailed;
}

}  // namespace

Resaved ResaveResampled(const char* path) {
  return Resave(path, [](HGLOBAL picture) {
    return common::ResamplePackedBitmap(picture, 320, 240);
  });
}

Resaved ResaveCropped(const char* path) {
  return Resave(path, [](HGLOBAL picture) {
    return common::CropPackedBitmapTopLeft(picture, 160, 120);
  });
}

}  // namespace ksv::camapi
