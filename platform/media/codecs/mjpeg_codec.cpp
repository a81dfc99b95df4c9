#include "platform/media/codecs/mjpeg_codec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/media/codecs/convert.h"

namespace ksv::media::codecs {
namespace {

class MjpegDecoder final : public VideoDecoder {
 public:
  MjpegDecoder(const PictureFormat& output, tjhandle handle) : output_(output), handle_(handle) {}
  ~MjpegDecoder() override { tjDestroy(handle_); }

  CodecResult Decode(std::span<const uint8_t> frame, std::span<uint8_t> output) override {
    if (output.size() < ImageSize(output_)) return CodecResult::kNoRoom;
    if (frame.empty() || frame.size() > 0x7FFFFFFF) return CodecResult::kBadInput;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    auto* bytes = const_cast<unsigned char*>(frame.data());
    const auto size = static_cast<unsigned long>(frame.size());
    if (tjDecompressHeader3(handle_, bytes, size, &width, &height, &subsampling, &colorspace) !=
            0 ||
        width != output_.width || height != output_.height) {
      return CodecResult::kBadInput;
    }
    const int pixelFormat = output_.format == PixelFormat::kRgb32 ? TJPF_BGRX : TJPF_BGR;
    // A damaged stream that still gave a whole picture is taken, as players
    // take it; one that stopped short is an error.
    if (tjDecompress2(handle_, bytes, size, output.data(), width, RowStride(output_), height,
                      pixelFormat, TJFLAG_BOTTOMUP) != 0 &&
        tjGetErrorCode(handle_) == TJERR_FATAL) {
      return CodecResult::kBadInput;
    }
    return CodecResult::kOk;
  }

 private:
  PictureFormat output_;
  tjhandle handle_;
};

}  // namespace

int MjpegEncoder::JpegQuality(int quality) {
  return std::clamp((std::clamp(quality, 0, kMaxQuality) + 50) / 100, 1, 100);
}

std::unique_ptr<MjpegEncoder> MjpegEncoder::Create(const PictureFormat& input) {
  if (input.format == PixelFormat::kRgb32 || ImageSize(input) == 0) return nullptr;
  tjhandle handle = tjInitCompress();
  if (handle == nullptr) return nullptr;
  std::unique_ptr<MjpegEncoder> encoder(new (std::nothrow) MjpegEncoder(input, handle));
  if (encoder == nullptr) {
    tjDestroy(handle);
    return nullptr;
  }
  if (input.format == PixelFormat::kI420) {
    encoder->fullRange_.reset(new (std::nothrow) uint8_t[ImageSize(input)]);
    if (encoder->fullRange_ == nullptr) return nullptr;
  }
  return encoder;
}

MjpegEncoder::MjpegEncoder(const PictureFormat& input, void* handle)
    : input_(input),
      handle_(handle),
      maxFrameSize_(tjBufSize(input.width, input.height, TJSAMP_420)) {}

MjpegEncoder::~MjpegEncoder() { tjDestroy(handle_); }

CodecResult MjpegEncoder::Encode(std::span<const uint8_t> picture, int quality, bool /*keyFrame*/,
                                 std::span<uint8_t> output, size_t* written, bool* isKey) {
  *written = 0;
  *isKey = true;
  if (picture.size() < ImageSize(input_)) return CodecResult::kBadInput;
  if (output.size() < maxFrameSize_) return CodecResult::kNoRoom;
  unsigned char* target = output.data();
  unsigned long size = static_cast<unsigned long>(output.size());
  // The caller's buffer holds the largest frame: the library writes into it
  // and never reallocates it.
  const int flags = TJFLAG_NOREALLOC | TJFLAG_BOTTOMUP;
  int failed = 0;
  if (input_.format == PixelFormat::kI420) {
    std::memcpy(fullRange_.get(), picture.data(), ImageSize(input_));
    I420VideoToFullRange(input_, fullRange_.get());
    const I420Planes planes = I420PlanesOf(input_, fullRange_.get());
    const unsigned char* planeStarts[3] = {planes.y, planes.u, planes.v};
    const int strides[3] = {planes.yStride, planes.chromaStride, planes.chromaStride};
    failed = tjCompressFromYUVPlanes(handle_, planeStarts, input_.width, strides, input_.height,
                                     TJSAMP_420, &target, &size, JpegQuality(quality),
                                     TJFLAG_NOREALLOC);
  } else {
    failed = tjCompress2(handle_, picture.data(), input_.width, RowStride(input_), input_.height,
                         TJPF_BGR, &target, &size, TJSAMP_420, JpegQuality(quality), flags);
  }
  if (failed != 0) return CodecResult::kFailed;
  *written = size;
  return CodecResult::kOk;
}

std::unique_ptr<VideoDecoder> MakeMjpegDecoder(int width, int height, int /*bitCount*/,
                                               PixelFormat output) {
  const PictureFormat picture{width, height, output};
  if (output == PixelFormat::kI420 || ImageSize(picture) == 0) return nullptr;
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) return nullptr;
  auto* decoder = new (std::nothrow) MjpegDecoder(picture, handle);
  if (decoder == nullptr) tjDestroy(handle);
  return std::unique_ptr<VideoDecoder>(decoder);
}

std::unique_ptr<VideoEncoder> MakeMjpegEncoder(const PictureFormat& input, int /*keyFrameEvery*/) {
  return MjpegEncoder::Create(input);
}

}  // namespace ksv::media::codecs
