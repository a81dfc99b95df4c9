// Motion JPEG ("MJPG") over libjpeg-turbo: every frame a whole baseline
// JPEG (JFIF, with its own Huffman tables, 4:2:0), so any Motion JPEG
// decoder reads it, and every frame a key frame. The encoder is public:
// other compressors that write Motion JPEG reuse it.
#pragma once

#include <memory>

#include "platform/media/codecs/video_codec.h"

namespace ksv::media::codecs {

class MjpegEncoder final : public VideoEncoder {
 public:
  // Null when `input` is not RGB24 or I420 of a positive size, or the
  // library cannot start.
  static std::unique_ptr<MjpegEncoder> Create(const PictureFormat& input);
  ~MjpegEncoder() override;

  size_t MaxFrameSize() const override { return maxFrameSize_; }
  // `keyFrame` is ignored: every frame stands alone.
  CodecResult Encode(std::span<const uint8_t> picture, int quality, bool keyFrame,
                     std::span<uint8_t> output, size_t* written, bool* isKey) override;

  // The JPEG quality (1..100) of a compressor quality (0..10000).
  static int JpegQuality(int quality);

 private:
  MjpegEncoder(const PictureFormat& input, void* handle);
  PictureFormat input_;
  void* handle_;               // tjhandle
  size_t maxFrameSize_;
  std::unique_ptr<uint8_t[]> fullRange_;  // I420 input rescaled for JPEG
};

// Frames of `width` x `height` into RGB24 or RGB32; a frame of another
// size is bad input.
std::unique_ptr<VideoDecoder> MakeMjpegDecoder(int width, int height, int bitCount,
                                               PixelFormat output);
std::unique_ptr<VideoEncoder> MakeMjpegEncoder(const PictureFormat& input, int keyFrameEvery);

}  // namespace ksv::media::codecs
