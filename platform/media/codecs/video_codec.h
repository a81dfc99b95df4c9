// The video codecs by FOURCC: one table that the AVI Decompressor, the
// video compressor category and the AVI file layer all use. A codec state
// object is made once per stream (for a picture size and layout) and
// converts frame after frame over buffers the caller owns, allocating
// nothing of its own per frame after the first.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/media/codecs/picture.h"

namespace ksv::media::codecs {

// A FOURCC as the 32-bit value of its four bytes in file order, and back.
constexpr uint32_t MakeFourcc(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
         uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}
std::string FourccText(uint32_t fourcc);

inline constexpr uint32_t kBiRgb = 0;  // uncompressed RGB (BI_RGB)
inline constexpr uint32_t kFourccMjpg = MakeFourcc("MJPG");
inline constexpr uint32_t kFourccCvid = MakeFourcc("cvid");
inline constexpr uint32_t kFourccI420 = MakeFourcc("I420");
inline constexpr uint32_t kFourccIyuv = MakeFourcc("IYUV");

// Quality as the platform's compressors take it: 0 (smallest) .. 10000
// (best); kDefaultQuality when the caller leaves it.
inline constexpr int kMaxQuality = 10000;
inline constexpr int kDefaultQuality = 7500;

enum class CodecResult {
  kOk,
  kBadInput,     // the compressed bytes are damaged, or of another picture size
  kNoRoom,       // the output buffer is too small
  kFailed,       // the library underneath failed
};

class VideoDecoder {
 public:
  virtual ~VideoDecoder() = default;
  // One compressed frame into an uncompressed picture of the output format
  // the decoder was made for (`output` holds ImageSize of it).
  virtual CodecResult Decode(std::span<const uint8_t> frame, std::span<uint8_t> output) = 0;
};

class VideoEncoder {
 public:
  virtual ~VideoEncoder() = default;
  // The largest frame Encode can write: the output buffer size to provide.
  virtual size_t MaxFrameSize() const = 0;
  // One picture of the input format the encoder was made for into a frame;
  // `*written` gets its size and `*isKey` whether it stands alone.
  // `quality` 0..10000 (clamped); `keyFrame` asks for a key frame.
  virtual CodecResult Encode(std::span<const uint8_t> picture, int quality, bool keyFrame,
                             std::span<uint8_t> output, size_t* written, bool* isKey) = 0;
};

struct VideoCodec {
  uint32_t fourcc;      // as biCompression carries it (kBiRgb for RGB)
  const char* name;     // the friendly name a compressor is listed under
  bool listed;          // a compressor of the video compressor category
  // Null when the codec does not decode / encode. A decoder takes frames
  // of `width` x `height` (`bitCount` as their BITMAPINFOHEADER says, for
  // the codecs that need it) into `output` pictures (RGB24 or RGB32); an
  // encoder takes `input` pictures (RGB24 or I420) into frames, a key frame
  // at least every `keyFrameEvery` frames (1: every frame) and whenever
  // Encode asks for one. Either
  // gives null when it does not take the size or format, or the library
  // underneath fails.
  std::unique_ptr<VideoDecoder> (*makeDecoder)(int width, int height, int bitCount,
                                               PixelFormat output);
  std::unique_ptr<VideoEncoder> (*makeEncoder)(const PictureFormat& input, int keyFrameEvery);
  // The bit count a compressed frame's BITMAPINFOHEADER carries.
  int compressedBitCount;
};

// Every codec of the table, in table order.
std::span<const VideoCodec> VideoCodecs();
// The codec of `fourcc` (letters compared without regard to case, as
// handlers are), or null.
const VideoCodec* FindVideoCodec(uint32_t fourcc);

}  // namespace ksv::media::codecs
