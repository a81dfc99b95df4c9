// The harness's filters on the base classes, the ones a plug-in may carry
// too (the test plug-in's filters are made of them): a push source
// (CSource) that sends a given number of samples, a transform
// (CTransformFilter) that copies them and can ask for reconnections, and a
// renderer on CBaseRenderer that presents them on the graph's clock. Each
// is configured by its fields before it connects or runs; a derived filter
// changes the types and the samples through the hooks. Nothing here counts
// allocations, so a plug-in may link it; the rest of the harness is in
// harness.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com/guid.h"
#include "platform/media/base/streams.h"

namespace ksv::media::testing {

inline constexpr CLSID kSourceClsid = ksv::com::Guid("5E1F0002-0000-4000-8000-000000000002");
inline constexpr CLSID kTransformClsid = ksv::com::Guid("5E1F0003-0000-4000-8000-000000000003");
inline constexpr CLSID kRendererClsid = ksv::com::Guid("5E1F0004-0000-4000-8000-000000000004");

// A PCM audio type with a WAVEFORMATEX of `rate` Hz, mono, 16 bit.
CMediaType AudioType(DWORD rate);
// The sample rate of a WAVEFORMATEX type; 0 for any other.
DWORD RateOf(const CMediaType& type);

// Asks `allocator` for `count` buffers of `bytes`; fails when it grants
// smaller ones.
HRESULT AskForBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG count,
                      LONG bytes);

class HarnessSource;

// The source's one pin: it offers the source's type and fills samples
// through the source's hooks on its worker thread.
class HarnessSourcePin : public CSourceStream {
 public:
  HarnessSourcePin(HRESULT* result, HarnessSource* filter, LPCWSTR name);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;

  // Whether a command (a state change) waits for the worker: a source that
  // holds its stream open looks between waits and then hands control back.
  bool CommandWaiting();

 private:
  HarnessSource* source_;
  int64_t produced_ = 0;
};

// Pushes `count` samples (no limit when negative), then ends the stream,
// each time its thread starts; with `failAt` >= 0 fails that sample with
// `failure` (the base then reports EC_ERRORABORT). By default the samples
// are 16 bytes of PCM audio at `rate`, stamped 0, spacing, 2 x spacing ...,
// every fourth a sync point.
class HarnessSource : public CSource {
 public:
  explicit HarnessSource(int64_t count = 3, REFERENCE_TIME spacing = 1000, int64_t failAt = -1);
  std::atomic<int64_t> count;  // a file source may change it while stopped
  REFERENCE_TIME spacing;
  int64_t failAt;
  HRESULT failure = E_FAIL;
  LONG bufferSize = 4096;
  LONG buffers = 4;
  DWORD rate = 22050;
  HarnessSourcePin& pin() { return *static_cast<HarnessSourcePin*>(m_paStreams[0]); }
  IPin* Output() { return GetPin(0); }
  bool threadCreatedUnderLock = false;

  // The hooks. The one type the pin offers.
  virtual CMediaType StreamType() { return AudioType(rate); }
  // Fills sample `index` (from 0 each time the thread starts, counting the
  // samples sent): S_OK to send it, S_FALSE to end the stream, an error to
  // abort it. Called below `count` and before `failAt` only.
  virtual HRESULT Fill(IMediaSample* sample, int64_t index);
  // On the worker as it starts, under the filter's lock.
  virtual void OnStart() {}

 protected:
  HarnessSource(const TCHAR* name, REFCLSID clsid, LPCWSTR pinName, int64_t count);
};

// Copies audio input to an output of the same rate, or of `outputRate`
// when set. With `reconnectOutput`, connecting the input while the output
// is connected asks the graph to reconnect the output; with
// `reconnectInputOnOutput`, connecting the output asks the graph to
// reconnect the input from inside that connection (once; the answer in
// `reconnectAnswer`). A derived filter changes the types it takes and
// makes; the copy stays.
class HarnessTransform : public CTransformFilter {
 public:
  HarnessTransform();
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pin) override;

  LONG bufferSize = 4096;  // of each output buffer
  LONG buffers = 2;
  DWORD outputRate = 0;
  bool reconnectOutput = false;
  bool reconnectInputOnOutput = false;
  HRESULT reconnectAnswer = E_FAIL;
  int completedOutputs = 0;
  std::atomic<int> inputConnections{0};
  IPin* Input() { return GetPin(0); }
  IPin* Output() { return GetPin(1); }

 protected:
  HarnessTransform(const TCHAR* name, REFCLSID clsid);
};

// Renders audio: counts samples; with `recordTimes`, also when each was
// presented on the graph's clock (sample start, clock time).
class HarnessRenderer : public CBaseRenderer {
 public:
  explicit HarnessRenderer(bool recordTimes = false);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;

  IPin* Input() { return GetPin(0); }
  int64_t rendered() const { return rendered_.load(); }
  void ResetRendered() { rendered_ = 0; }
  int64_t firstSamples() const { return firstSamples_.load(); }
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown();

 protected:
  HarnessRenderer(REFCLSID clsid, const TCHAR* name);

 private:
  const bool recordTimes_;
  std::atomic<int64_t> rendered_{0};
  std::atomic<int64_t> firstSamples_{0};
  std::mutex mutex_;
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown_;
};

}  // namespace ksv::media::testing
