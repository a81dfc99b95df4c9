#include "platform/media/codecs/cinepak_codec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/media/codecs/av_handles.h"

namespace ksv::media::codecs {
namespace {

using ContextPtr = av::CodecContextPtr;
using av::FramePtr;
using av::PacketPtr;
using av::ScalePtr;

AVPixelFormat DibFormat(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return AV_PIX_FMT_BGR24;
    case PixelFormat::kRgb32: return AV_PIX_FMT_BGR0;
    case PixelFormat::kI420: return AV_PIX_FMT_YUV420P;
  }
  return AV_PIX_FMT_NONE;
}

// Plane pointers and strides of a caller's picture as libswscale reads or
// writes it: RGB bottom-up through a negative stride.
void PicturePlanes(const PictureFormat& picture, uint8_t* base, uint8_t* planes[4],
                   int strides[4]) {
  std::fill(planes, planes + 4, nullptr);
  std::fill(strides, strides + 4, 0);
  if (picture.format == PixelFormat::kI420) {
    const I420Planes i420 = I420PlanesOf(picture, base);
    planes[0] = i420.y;
    planes[1] = i420.u;
    planes[2] = i420.v;
    strides[0] = i420.yStride;
    strides[1] = strides[2] = i420.chromaStride;
    return;
  }
  const int stride = RowStride(picture);
  planes[0] = base + static_cast<ptrdiff_t>(stride) * (picture.height - 1);
  strides[0] = -stride;
}

// A context for the codec, to be set up and then opened with Open.
ContextPtr NewContext(const AVCodec* codec, int width, int height) {
  if (codec == nullptr) return nullptr;
  ContextPtr context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  context->width = width;
  context->height = height;
  context->thread_count = 1;  // the caller's own streaming thread does the work
  return context;
}

bool Open(const ContextPtr& context) {
  return context && avcodec_open2(context.get(), context->codec, nullptr) >= 0;
}

class CinepakDecoder final : public VideoDecoder {
 public:
  CinepakDecoder(const PictureFormat& output, ContextPtr context, PacketPtr packet, FramePtr frame)
      : output_(output),
        context_(std::move(context)),
        packet_(std::move(packet)),
        frame_(std::move(frame)) {}

  CodecResult Decode(std::span<const uint8_t> frame, std::span<uint8_t> output) override {
    if (output.size() < ImageSize(output_)) return CodecResult::kNoRoom;
    if (frame.empty() || frame.size() > 0x7FFFFFFF) return CodecResult::kBadInput;
    // libavcodec reads a little past the end of a packet: the bytes go to a
    // padded buffer that grows only for a larger frame than any before.
    const size_t padded = frame.size() + AV_INPUT_BUFFER_PADDING_SIZE;
    if (input_.size() < padded) input_.resize(padded);
    std::memcpy(input_.data(), frame.data(), frame.size());
    std::memset(input_.data() + frame.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
    packet_->data = input_.data();
    packet_->size = static_cast<int>(frame.size());
    if (avcodec_send_packet(context_.get(), packet_.get()) < 0) return CodecResult::kBadInput;
    const int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received < 0) return CodecResult::kBadInput;
    if (frame_->width != output_.width || frame_->height != output_.height) {
      av_frame_unref(frame_.get());
      return CodecResult::kBadInput;
    }
    scale_.reset(sws_getCachedContext(scale_.release(), frame_->width, frame_->height,
                                      static_cast<AVPixelFormat>(frame_->format), output_.width,
                                      output_.height, DibFormat(output_.format), SWS_POINT,
                                      nullptr, nullptr, nullptr));
    if (!scale_) {
      av_frame_unref(frame_.get());
      return CodecResult::kFailed;
    }
    uint8_t* planes[4];
    int strides[4];
    PicturePlanes(output_, output.data(), planes, strides);
    sws_scale(scale_.get(), frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
    av_frame_unref(frame_.get());
    return CodecResult::kOk;
  }

 private:
  PictureFormat output_;
  ContextPtr context_;
  PacketPtr packet_;
  FramePtr frame_;
  ScalePtr scale_;
  std::vector<uint8_t> input_;
};

// The encoder's rate-distortion weight from a quality: lower is better.
int Lambda(int quality) {
  const int worse = kMaxQuality - std::clamp(quality, 0, kMaxQuality);
  return FF_LAMBDA_SCALE + worse * 6 * FF_LAMBDA_SCALE / kMaxQuality;
}

// An open encoder context for `input`, a key frame every `keyFrameEvery`.
ContextPtr OpenEncoder(const PictureFormat& input, int keyFrameEvery) {
  ContextPtr context =
      NewContext(avcodec_find_encoder(AV_CODEC_ID_CINEPAK), input.width, input.height);
  if (!context) return nullptr;
  context->pix_fmt = AV_PIX_FMT_RGB24;
  context->time_base = {1, 25};
  context->gop_size = keyFrameEvery;
  context->flags |= AV_CODEC_FLAG_QSCALE;
  // One strip per frame: more strips buy little on small pictures and
  // multiply the encoder's search.
  av_opt_set_int(context->priv_data, "max_strips", 1, 0);
  return Open(context) ? std::move(context) : nullptr;
}

class CinepakEncoder final : public VideoEncoder {
 public:
  CinepakEncoder(const PictureFormat& input, int keyFrameEvery, ContextPtr context,
                 PacketPtr packet, FramePtr frame, ScalePtr scale)
      : input_(input),
        keyFrameEvery_(keyFrameEvery),
        context_(std::move(context)),
        packet_(std::move(packet)),
        frame_(std::move(frame)),
        scale_(std::move(scale)) {}

  // A frame holds at most a codebook and a vector index per 4 x 4 block of
  // each strip; raw 24-bit pixels plus headers bound it comfortably.
  size_t MaxFrameSize() const override {
    return static_cast<size_t>(input_.width) * input_.height * 3 + 4096;
  }

  CodecResult Encode(std::span<const uint8_t> picture, int quality, bool keyFrame,
                     std::span<uint8_t> output, size_t* written, bool* isKey) override {
    *written = 0;
    *isKey = false;
    if (picture.size() < ImageSize(input_)) return CodecResult::kBadInput;
    // libavcodec's Cinepak encoder places key frames by its own count only:
    // a key frame asked for off that rhythm starts the encoder afresh.
    if (keyFrame && sinceKey_ % keyFrameEvery_ != 0) {
      context_ = OpenEncoder(input_, keyFrameEvery_);
      if (!context_) return CodecResult::kFailed;
      sinceKey_ = 0;
    }
    if (av_frame_make_writable(frame_.get()) < 0) return CodecResult::kFailed;
    uint8_t* planes[4];
    int strides[4];
    PicturePlanes(input_, const_cast<uint8_t*>(picture.data()), planes, strides);
    sws_scale(scale_.get(), planes, strides, 0, input_.height, frame_->data, frame_->linesize);
    frame_->pts = sinceKey_;
    frame_->quality = Lambda(quality) + 1;
    if (avcodec_send_frame(context_.get(), frame_.get()) < 0) return CodecResult::kFailed;
    if (avcodec_receive_packet(context_.get(), packet_.get()) < 0) return CodecResult::kFailed;
    CodecResult result = CodecResult::kOk;
    if (static_cast<size_t>(packet_->size) > output.size()) {
      result = CodecResult::kNoRoom;
    } else {
      std::memcpy(output.data(), packet_->data, packet_->size);
      *written = static_cast<size_t>(packet_->size);
      *isKey = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
      sinceKey_ = *isKey ? 1 : sinceKey_ + 1;
    }
    av_packet_unref(packet_.get());
    return result;
  }

 private:
  PictureFormat input_;
  int keyFrameEvery_;
  ContextPtr context_;
  PacketPtr packet_;
  FramePtr frame_;
  ScalePtr scale_;
  int64_t sinceKey_ = 0;  // frames since the last key frame (0: none yet)
};

}  // namespace

std::unique_ptr<VideoDecoder> MakeCinepakDecoder(int width, int height, int bitCount,
                                                 PixelFormat output) {
  const PictureFormat picture{width, height, output};
  if (output == PixelFormat::kI420 || ImageSize(picture) == 0) return nullptr;
  ContextPtr context = NewContext(avcodec_find_decoder(AV_CODEC_ID_CINEPAK), width, height);
  if (!context) return nullptr;
  context->bits_per_coded_sample = bitCount;
  if (!Open(context)) return nullptr;
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!packet || !frame) return nullptr;
  return std::make_unique<CinepakDecoder>(picture, std::move(context), std::move(packet),
                                          std::move(frame));
}

std::unique_ptr<VideoEncoder> MakeCinepakEncoder(const PictureFormat& input, int keyFrameEvery) {
  if (input.format == PixelFormat::kRgb32 || ImageSize(input) == 0 || input.width % 4 != 0 ||
      input.height % 4 != 0) {
    return nullptr;
  }
  if (keyFrameEvery < 1) keyFrameEvery = 1;
  ContextPtr context = OpenEncoder(input, keyFrameEvery);
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!context || !packet || !frame) return nullptr;
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = input.width;
  frame->height = input.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  ScalePtr scale(sws_getContext(input.width, input.height, DibFormat(input.format), input.width,
                                input.height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr,
                                nullptr));
  if (!scale) return nullptr;
  return std::make_unique<CinepakEncoder>(input, keyFrameEvery, std::move(context),
                                          std::move(packet), std::move(frame), std::move(scale));
}

}  // namespace ksv::media::codecs
