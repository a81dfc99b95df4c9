// What the MPEG video and audio decoders share: a transform filter whose
// samples go through a StreamDecoder, any number of output samples per
// input sample (the transform base makes one of one, so Receive is the
// decoder's own). Per input sample, with the receive lock held: strip the
// system-stream packet header for MPEG1Packet input, cut and decode, and
// hand each decoded frame to the derived filter's OnFrame, which fills an
// output sample and gives it to DeliverOutput. The receive lock is let go
// while a sample is delivered downstream. At end of stream the decoder's
// last frames are delivered before the end of stream is passed on.
#pragma once

#include "platform/media/base/transform.h"
#include "platform/media/filters/mpeg1/stream_decoder.h"

namespace ksv::media::mpeg1 {

class MpegDecoderFilter : public CTransformFilter, protected FrameSink {
 public:
  MpegDecoderFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid);

  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;
  HRESULT StartStreaming() override;

 protected:
  // A new run or a flush: the derived filter forgets its running times.
  virtual void OnRestart() = 0;

  // An output buffer; failing (the allocator decommitted by a stop) counts
  // as a refusal, like a failed delivery.
  HRESULT GetOutputBuffer(IMediaSample** sample);
  // Delivers `sample` (and releases it) with the receive lock let go for
  // the call. A refusal downstream is remembered, so it is not reported
  // to the graph as this filter's error.
  HRESULT DeliverOutput(IMediaSample* sample);
  // TRUE for the first output sample after a start, flush or gap upstream.
  BOOL TakeDiscontinuity();

  StreamDecoder decoder_;
  bool packetInput_ = false;  // input samples are whole system-stream packets

 private:
  // Decoding failed (not delivery): the graph is told and the stream stops.
  HRESULT Fail(HRESULT result);

  bool discontinuity_ = true;
  bool deliveryRefused_ = false;
};

}  // namespace ksv::media::mpeg1
