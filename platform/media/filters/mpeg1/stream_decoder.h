// The part both MPEG decoders share: a libavcodec parser that cuts the
// incoming bytes into coded frames (samples may split or join them), and
// the decoder those frames go to. Each decoded frame is handed to a
// FrameSink at once, so nothing is queued or allocated per sample here.
#pragma once

#include <cstdint>

#include "include/win32_types.h"
#include "platform/com/hresult.h"
#include "platform/media/filters/mpeg1/av_handles.h"

namespace ksv::media::mpeg1 {

class FrameSink {
 public:
  // S_OK to go on; S_FALSE or an error stops the decoding (and is returned).
  virtual HRESULT OnFrame(AVFrame* frame) = 0;

 protected:
  ~FrameSink() = default;
};

class StreamDecoder {
 public:
  // A decoder for `codec`, with the stream's header as extradata (may be
  // empty) and, for audio, the channels and rate the type says.
  HRESULT Open(AVCodecID codec, const uint8_t* extradata, size_t extradataSize, int channels = 0,
               int sampleRate = 0);
  void Close();
  bool IsOpen() const { return context_ != nullptr; }

  // A new run (or after a flush): the decoder forgets what it held and the
  // parser starts afresh.
  HRESULT Restart();
  // Cuts `data` into frames and decodes them. `pts` (100-ns units, or
  // AV_NOPTS_VALUE) belongs to the first frame that starts in `data`.
  HRESULT Decode(const uint8_t* data, int size, int64_t pts, FrameSink* sink);
  // The end of the stream: what the parser and the decoder still hold.
  HRESULT Drain(FrameSink* sink);

  // Coded frames the decoder refused as damaged (they are skipped).
  int damagedFrames() const { return damaged_; }

 private:
  HRESULT Send(const AVPacket* packet, FrameSink* sink);
  HRESULT ReceiveFrames(FrameSink* sink);

  AVCodecID codecId_ = AV_CODEC_ID_NONE;
  CodecContextPtr context_;
  ParserPtr parser_;
  PacketPtr packet_;
  FramePtr frame_;
  int damaged_ = 0;
};

}  // namespace ksv::media::mpeg1
