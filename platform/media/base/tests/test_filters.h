// Small filters and a fake graph for driving the base classes directly:
// a graph that records events and performs reconnections, a sink that
// counts what arrives, a source that pushes a given number of samples, and
// a transform that copies samples and can ask for a reconnection.
#pragma once

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/base/streams.h"

namespace ksv::media::testing {

inline constexpr CLSID kSinkClsid = ksv::com::Guid("5E1F0001-0000-4000-8000-000000000001");
inline constexpr CLSID kSourceClsid = ksv::com::Guid("5E1F0002-0000-4000-8000-000000000002");
inline constexpr CLSID kTransformClsid = ksv::com::Guid("5E1F0003-0000-4000-8000-000000000003");

// A PCM audio type with a WAVEFORMATEX of `rate` Hz, mono, 16 bit.
CMediaType AudioType(DWORD rate);

// Records events; Reconnect breaks both sides and connects the output to
// the same partner again, at once.
class FakeGraph : public ksv::com::ComObject<IFilterGraph, IMediaEventSink> {
 public:
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
    return filter->JoinFilterGraph(this, name);
  }
  HRESULT RemoveFilter(IBaseFilter* filter) override {
    return filter->JoinFilterGraph(nullptr, nullptr);
  }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override {
    return output->Connect(input, type);
  }
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override { return pin->Disconnect(); }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }

  HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

  // Waits up to `milliseconds` for an event with `code`; its first parameter.
  bool WaitForEvent(LONG code, LONG_PTR* param1, int milliseconds);
  int reconnects() const { return reconnects_; }
  HRESULT lastReconnectResult() const { return lastReconnect_; }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::pair<LONG, LONG_PTR>> events_;
  int reconnects_ = 0;
  HRESULT lastReconnect_ = S_OK;
};

class SinkFilter;

// An allocator that grants at most `maxBuffer` bytes a buffer.
class StingyAllocator : public CMemAllocator {
 public:
  explicit StingyAllocator(LONG maxBuffer)
      : CMemAllocator("stingy", nullptr, nullptr), maxBuffer_(maxBuffer) {}
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES granted = *request;
    if (granted.cbBuffer > maxBuffer_) granted.cbBuffer = maxBuffer_;
    return CMemAllocator::SetProperties(&granted, actual);
  }

 private:
  LONG maxBuffer_;
};

class SinkPin : public CBaseInputPin {
 public:
  SinkPin(SinkFilter* filter, CCritSec* lock, HRESULT* result);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;

 private:
  SinkFilter* sink_;
};

// Accepts audio at `acceptedRate` (0: any audio). Counts samples and end of
// stream; may keep samples instead of releasing them.
class SinkFilter : public CBaseFilter {
 public:
  SinkFilter();
  ~SinkFilter() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

  // Settings, before connecting.
  DWORD acceptedRate = 0;
  std::vector<CMediaType> offered;    // what the pin enumerates
  IMemAllocator* ownAllocator = nullptr;  // offered by GetAllocator (counted)
  bool refuseForeignAllocator = false;
  bool holdSamples = false;

  // What happened, read under `mutex`.
  std::mutex mutex;
  std::condition_variable changed;
  int samples = 0;
  int endOfStreams = 0;
  int flushes = 0;
  std::vector<REFERENCE_TIME> startTimes;
  std::vector<IMediaSample*> held;
  long allocationsAtSecondSample = -1;
  long allocationsAtLastSample = -1;
  IMemAllocator* notified = nullptr;  // not counted

  bool WaitFor(int wantedSamples, int wantedEnds, int milliseconds);
  void ReleaseHeld();
  // Starts the counts over, for another run.
  void ResetCounts();
  SinkPin& pin() { return pin_; }

 private:
  CCritSec lock_;
  SinkPin pin_;
};

class SourceFilter;

class SourcePin : public CSourceStream {
 public:
  SourcePin(HRESULT* result, SourceFilter* filter);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;

 private:
  SourceFilter* source_;
  int produced_ = 0;
};

// Pushes `count` samples of `bufferSize` bytes stamped 0, 1000, ... then
// ends the stream; with `failAt` >= 0 fails that sample with `failure`.
class SourceFilter : public CSource {
 public:
  SourceFilter();
  int count = 3;
  int failAt = -1;
  HRESULT failure = E_FAIL;
  LONG bufferSize = 4096;
  LONG buffers = 4;
  DWORD rate = 22050;
  SourcePin& pin() { return *static_cast<SourcePin*>(m_paStreams[0]); }
  bool threadCreatedUnderLock = false;
};

// Copies audio input to an output of the same rate, or of `outputRate`
// when set. With `reconnectOutput`, connecting the input while the output
// is connected asks the graph to reconnect the output.
class CopyTransform : public CTransformFilter {
 public:
  CopyTransform();
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pin) override;

  DWORD outputRate = 0;
  bool reconnectOutput = false;
  int completedOutputs = 0;
  IPin* input() { return GetPin(0); }
  IPin* output() { return GetPin(1); }
};

// Stops `filter` and breaks its connections on both sides (connected
// filters hold each other).
void Unplug(CBaseFilter* filter);

// A filter made with `new`, held by a reference, unplugged and released at
// scope end.
template <class Filter>
struct Held {
  Held() : filter(new Filter) { filter->AddRef(); }
  ~Held() {
    Unplug(filter);
    filter->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  Filter* operator->() const { return filter; }
  Filter* filter;
};

}  // namespace ksv::media::testing
