// Filters made on the base classes, for the graph's tests and benchmark: a
// push source (CSource), a pass-through transform (CTransformFilter) and a
// null renderer (CBaseRenderer). Samples carry only their times.
#pragma once

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/media/base/streams.h"

namespace ksv::media::graph::testing {

inline constexpr GUID kBaseSubtype = ksv::com::Guid("6B1D0003-0000-4000-8000-00AA00BB00CC");
// The one type the base filters agree on.
CMediaType StreamType();

class BaseSource;

class BaseSourcePin : public CSourceStream {
 public:
  BaseSourcePin(HRESULT* result, BaseSource* filter);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  BaseSource* source_;
  int64_t produced_ = 0;
};

// Sends `count` samples stamped 0, spacing, 2 x spacing ... then ends the
// stream. With `failAfter` >= 0, FillBuffer fails after that many samples
// (the base then reports EC_ERRORABORT).
class BaseSource : public CSource {
 public:
  BaseSource(int64_t count, REFERENCE_TIME spacing, int64_t failAfter = -1);
  IPin* Output() { return GetPin(0); }
  const int64_t count;
  const REFERENCE_TIME spacing;
  const int64_t failAfter;
};

// Passes each sample on in a buffer of its own allocator; with
// `reconnectInputOnOutput` it asks the graph to reconnect its input from
// inside the output's connection.
class PassThroughTransform : public CTransformFilter {
 public:
  PassThroughTransform();
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pin) override;

  IPin* Input() { return GetPin(0); }
  IPin* Output() { return GetPin(1); }
  bool reconnectInputOnOutput = false;
  HRESULT reconnectAnswer = E_FAIL;
  std::atomic<int> inputConnections{0};
};

// Counts samples; with `recordTimes`, also when each was presented on the
// graph's clock (sample start, clock time).
class NullRenderer : public CBaseRenderer {
 public:
  explicit NullRenderer(bool recordTimes = false);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;

  IPin* Input() { return GetPin(0); }
  int64_t rendered() const { return rendered_.load(); }
  int64_t firstSamples() const { return firstSamples_.load(); }
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown();

 private:
  const bool recordTimes_;
  std::atomic<int64_t> rendered_{0};
  std::atomic<int64_t> firstSamples_{0};
  std::mutex mutex_;
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown_;
};

// A base-class filter made with `new`, held by one reference.
template <class Filter, class... Args>
Filter* NewHeld(Args&&... args) {
  auto* filter = new Filter(std::forward<Args>(args)...);
  filter->AddRef();
  return filter;
}

}  // namespace ksv::media::graph::testing
