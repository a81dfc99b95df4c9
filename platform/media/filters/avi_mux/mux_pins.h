// The AVI Mux's pins: input pins that take one video or audio stream each
// (a new one appears when the last connects) and the output pin that
// delivers the file as positioned samples to a file sink.
#pragma once

#include "platform/media/base/pins.h"

namespace ksv::media::avimux {

class AviMux;

class MuxInputPin final : public CBaseInputPin {
 public:
  MuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* result, LPCWSTR name);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  // Samples are written on the caller's thread, one stream at a time.
  HRESULT ReceiveCanBlock() override { return S_OK; }

  // The stream this pin feeds in the current file; -1 when none.
  int stream() const { return stream_; }
  void setStream(int stream) { stream_ = stream; }

 private:
  AviMux* mux_;
  int stream_ = -1;
};

class MuxOutputPin final : public CBaseOutputPin {
 public:
  MuxOutputPin(AviMux* mux, CCritSec* lock, HRESULT* result);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
};

// Delivery buffers: a few large ones; consecutive writes fill one.
inline constexpr LONG kOutputBuffers = 4;
inline constexpr LONG kOutputBufferSize = 1 << 20;

}  // namespace ksv::media::avimux
