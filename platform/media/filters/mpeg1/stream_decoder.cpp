#include "platform/media/filters/mpeg1/stream_decoder.h"

#include <cstring>

#include "platform/media/vfw_errors.h"

namespace ksv::media::mpeg1 {

HRESULT StreamDecoder::Open(AVCodecID codec, const uint8_t* extradata, size_t extradataSize,
                            int channels, int sampleRate) {
  Close();
  const AVCodec* decoder = avcodec_find_decoder(codec);
  if (decoder == nullptr) return VFW_E_NO_DECOMPRESSOR;
  CodecContextPtr context(avcodec_alloc_context3(decoder));
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!context || !packet || !frame) return E_OUTOFMEMORY;
  context->pkt_timebase = kReferenceTimeBase;
  context->thread_count = 1;  // frames come out in the order and thread they went in
  if (channels > 0) av_channel_layout_default(&context->ch_layout, channels);
  if (sampleRate > 0) context->sample_rate = sampleRate;
  if (extradata != nullptr && extradataSize > 0) {
    context->extradata =
        static_cast<uint8_t*>(av_mallocz(extradataSize + AV_INPUT_BUFFER_PADDING_SIZE));
    if (context->extradata == nullptr) return E_OUTOFMEMORY;
    std::memcpy(context->extradata, extradata, extradataSize);
    context->extradata_size = static_cast<int>(extradataSize);
  }
  if (avcodec_open2(context.get(), decoder, nullptr) < 0) return VFW_E_NO_DECOMPRESSOR;
  codecId_ = codec;
  context_ = std::move(context);
  packet_ = std::move(packet);
  frame_ = std::move(frame);
  return Restart();
}

void StreamDecoder::Close() {
  parser_.reset();
  frame_.reset();
  packet_.reset();
  context_.reset();
  codecId_ = AV_CODEC_ID_NONE;
}

HRESULT StreamDecoder::Restart() {
  if (!context_) return E_UNEXPECTED;
  avcodec_flush_buffers(context_.get());
  parser_.reset(av_parser_init(codecId_));
  if (!parser_) return E_OUTOFMEMORY;
  damaged_ = 0;
  return S_OK;
}

HRESULT StreamDecoder::Decode(const uint8_t* data, int size, int64_t pts, FrameSink* sink) {
  if (!context_ || !parser_) return E_UNEXPECTED;
  while (size > 0) {
    uint8_t* frameData = nullptr;
    int frameSize = 0;
    const int used = av_parser_parse2(parser_.get(), context_.get(), &frameData, &frameSize, data,
                                      size, pts, AV_NOPTS_VALUE, 0);
    if (used < 0) return S_OK;  // the parser gave up on these bytes
    pts = AV_NOPTS_VALUE;  // a later frame in these bytes has no stamp of its own
    data += used;
    size -= used;
    if (frameSize > 0) {
      packet_->data = frameData;
      packet_->size = frameSize;
      packet_->pts = parser_->pts;
      packet_->dts = parser_->dts;
      packet_->flags = parser_->key_frame == 1 ? AV_PKT_FLAG_KEY : 0;
      const HRESULT result = Send(packet_.get(), sink);
      if (result != S_OK) return result;
    }
  }
  return S_OK;
}

HRESULT StreamDecoder::Drain(FrameSink* sink) {
  if (!context_ || !parser_) return E_UNEXPECTED;
  uint8_t* frameData = nullptr;
  int frameSize = 0;
  av_parser_parse2(parser_.get(), context_.get(), &frameData, &frameSize, nullptr, 0,
                   AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
  if (frameSize > 0) {
    packet_->data = frameData;
    packet_->size = frameSize;
    packet_->pts = parser_->pts;
    packet_->dts = parser_->dts;
    const HRESULT result = Send(packet_.get(), sink);
    if (result != S_OK) return result;
  }
  return Send(nullptr, sink);
}

HRESULT StreamDecoder::Send(const AVPacket* packet, FrameSink* sink) {
  int sent = avcodec_send_packet(context_.get(), packet);
  if (sent == AVERROR(EAGAIN)) {
    // The decoder holds frames to give first; then it takes the packet.
    const HRESULT result = ReceiveFrames(sink);
    if (result != S_OK) return result;
    sent = avcodec_send_packet(context_.get(), packet);
  }
  if (sent == AVERROR_INVALIDDATA) {
    ++damaged_;
  } else if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) {
    return sent == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL;
  }
  return ReceiveFrames(sink);
}

HRESULT StreamDecoder::ReceiveFrames(FrameSink* sink) {
  for (;;) {
    const int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
    if (received == AVERROR_INVALIDDATA) {
      ++damaged_;
      continue;
    }
    if (received < 0) return received == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL;
    const HRESULT result = sink->OnFrame(frame_.get());
    av_frame_unref(frame_.get());
    if (result != S_OK) return result;
  }
}

}  // namespace ksv::media::mpeg1
