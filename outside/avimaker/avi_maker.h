// The AVI maker: a source filter with one output pin whose frames come from
// a client's callback, one per sample (see include/avimaker.h for the
// client's side). The pin's worker thread calls the callback while the
// graph is paused or running; sample n is stamped n x the frame period from
// the start of the stream; when the callback has no more frames the pin
// sends the end of the stream and stays quiet until the graph stops.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "include/avimaker.h"
#include "platform/media/base/streams.h"

namespace ksv::media::avimaker {

// What Setup and SetMillisecondsPerFrame fixed.
struct FrameSource {
  LONG width = 0;
  LONG height = 0;
  LONG bitCount = 0;
  AviMakerFrameCallback callback = nullptr;
  intptr_t userData = 0;
  LONG milliseconds = kAviMakerDefaultMilliseconds;
};

// The one media type frames of `source` travel as (false before Setup).
bool FrameType(const FrameSource& source, CMediaType* type);

class AviMaker;

class AviMakerPin final : public CSourceStream {
 public:
  AviMakerPin(AviMaker* filter, HRESULT* result);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  HRESULT OnThreadCreate() override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT DoBufferProcessingLoop() override;

 private:
  AviMaker* maker_;
  // The worker's own: frames sent since the stream began, whether it has
  // ended, and the packed picture the callback fills when the sample's rows
  // are padded.
  int64_t frames_ = 0;
  bool ended_ = false;
  std::vector<BYTE> packed_;
};

class AviMaker final : public CSource, public IAviMakerControl {
 public:
  AviMaker(LPUNKNOWN outer, HRESULT* result);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  // IAviMakerControl.
  HRESULT Setup(LONG width, LONG height, LONG bitsPerPixel, AviMakerFrameCallback callback,
                intptr_t userData) override;
  HRESULT SetMillisecondsPerFrame(LONG milliseconds) override;

  FrameSource Source();

 private:
  std::mutex sourceMutex_;  // the client sets, the pin's worker reads
  FrameSource source_;
  AviMakerPin* pin_ = nullptr;  // owned by CSource
};

}  // namespace ksv::media::avimaker
