#include "platform/media/codecs/raw_codec.h"

#include "platform/media/codecs/convert.h"

namespace ksv::media::codecs {
namespace {

class RawDecoder final : public VideoDecoder {
 public:
  RawDecoder(const PictureFormat& input, const PictureFormat& output)
      : input_(input), output_(output) {}
  CodecResult Decode(std::span<const uint8_t> frame, std::span<uint8_t> output) override {
    if (output.size() < ImageSize(output_)) return CodecResult::kNoRoom;
    if (frame.size() < ImageSize(input_)) return CodecResult::kBadInput;
    ConvertPicture(input_, frame.data(), output_, output.data());
    return CodecResult::kOk;
  }

 private:
  PictureFormat input_, output_;
};

class RawEncoder final : public VideoEncoder {
 public:
  RawEncoder(const PictureFormat& input, const PictureFormat& output)
      : input_(input), output_(output) {}
  size_t MaxFrameSize() const override { return ImageSize(output_); }
  CodecResult Encode(std::span<const uint8_t> picture, int /*quality*/, bool /*keyFrame*/,
                     std::span<uint8_t> output, size_t* written, bool* isKey) override {
    *written = 0;
    *isKey = true;
    if (picture.size() < ImageSize(input_)) return CodecResult::kBadInput;
    if (output.size() < ImageSize(output_)) return CodecResult::kNoRoom;
    ConvertPicture(input_, picture.data(), output_, output.data());
    *written = ImageSize(output_);
    return CodecResult::kOk;
  }

 private:
  PictureFormat input_, output_;
};

bool IsOutput(PixelFormat format) { return format != PixelFormat::kI420; }
bool IsEncoderInput(PixelFormat format) { return format != PixelFormat::kRgb32; }

std::unique_ptr<VideoDecoder> MakeDecoder(const PictureFormat& input, PixelFormat output) {
  const PictureFormat picture{input.width, input.height, output};
  if (!IsOutput(output) || ImageSize(input) == 0) return nullptr;
  return std::make_unique<RawDecoder>(input, picture);
}

std::unique_ptr<VideoEncoder> MakeEncoder(const PictureFormat& input, PixelFormat output) {
  if (!IsEncoderInput(input.format) || ImageSize(input) == 0) return nullptr;
  return std::make_unique<RawEncoder>(input, PictureFormat{input.width, input.height, output});
}

}  // namespace

std::unique_ptr<VideoDecoder> MakeRgbDecoder(int width, int height, int bitCount,
                                             PixelFormat output) {
  if (bitCount != 24 && bitCount != 32) return nullptr;
  const PixelFormat input = bitCount == 24 ? PixelFormat::kRgb24 : PixelFormat::kRgb32;
  return MakeDecoder({width, height, input}, output);
}

std::unique_ptr<VideoEncoder> MakeRgbEncoder(const PictureFormat& input, int /*keyFrameEvery*/) {
  return MakeEncoder(input, PixelFormat::kRgb24);
}

std::unique_ptr<VideoDecoder> MakeI420Decoder(int width, int height, int /*bitCount*/,
                                              PixelFormat output) {
  return MakeDecoder({width, height, PixelFormat::kI420}, output);
}

std::unique_ptr<VideoEncoder> MakeI420Encoder(const PictureFormat& input, int /*keyFrameEvery*/) {
  return MakeEncoder(input, PixelFormat::kI420);
}

}  // namespace ksv::media::codecs
