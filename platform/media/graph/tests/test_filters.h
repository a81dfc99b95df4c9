// Small hand-made filters for the graph's tests and benchmark: pins that
// agree on a subtype, a source with a streaming thread, a pass-through
// transform and a counting sink that presents samples at their times on
// the graph's clock. Samples are only their times: the graph never looks
// inside them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/media.h"

namespace ksv::media::graph::testing {

class TestFilter;

// A pin that accepts the media types whose subtype it lists (none: it
// refuses everything) and offers them in that order.
class TestPin : public com::ComObject<IPin> {
 public:
  TestPin(TestFilter* owner, PIN_DIRECTION direction, std::u16string name,
          std::vector<GUID> subtypes);

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryId(LPWSTR* id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // Output pins: hands a sample (its time) to the connected input.
  HRESULT Deliver(REFERENCE_TIME time);
  TestPin* peer() const { return peer_; }
  GUID subtype() const { return subtype_; }
  int connections() const { return connections_.load(); }
  // Called inside Connect/ReceiveConnection once the connection is made.
  std::function<void()> onConnected;

 private:
  bool Accepts(const AM_MEDIA_TYPE* type) const;

  TestFilter* const owner_;
  const PIN_DIRECTION direction_;
  const std::u16string name_;
  const std::vector<GUID> subtypes_;
  TestPin* peer_ = nullptr;  // counted
  GUID subtype_{};
  std::atomic<int> connections_{0};
};

class TestFilter : public com::ComObject<IBaseFilter> {
 public:
  TestFilter();

  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  TestPin* AddPin(PIN_DIRECTION direction, std::vector<GUID> subtypes);
  TestPin* pin(size_t index) const { return pins_[index].Get(); }
  TestPin* Output() const;  // the first output pin
  IFilterGraph* graph() const { return graph_; }
  FILTER_STATE state() const { return state_.load(); }
  std::u16string name() const { return name_; }
  void Notify(LONG code, LONG_PTR param1, LONG_PTR param2);
  // The order in which the graph changed filters' states, across filters.
  std::function<void(TestFilter*, FILTER_STATE)> onStateChange;

  // What a sample or the end of the stream does on arrival at an input.
  virtual HRESULT Receive(TestPin*, REFERENCE_TIME) { return S_OK; }
  virtual HRESULT EndOfStreamAt(TestPin*) { return S_OK; }

 protected:
  ~TestFilter() override;
  virtual void OnStop() {}
  virtual void OnRun() {}

  std::mutex lock_;
  com::ComPtr<IReferenceClock> clock_;
  REFERENCE_TIME start_ = 0;

 private:
  std::vector<com::ComPtr<TestPin>> pins_;
  IFilterGraph* graph_ = nullptr;  // uncounted: the graph owns us
  std::u16string name_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
};

inline constexpr GUID kSubtypeA = ksv::com::Guid("6B1D0001-0000-4000-8000-00AA00BB00CC");
inline constexpr GUID kSubtypeB = ksv::com::Guid("6B1D0002-0000-4000-8000-00AA00BB00CC");

// Sends `count` samples, `spacing` apart, on its thread from Run; then the
// end of stream. With `failAfter` >= 0 it stops after that many samples and
// reports EC_ERRORABORT instead.
class TestSource : public TestFilter {
 public:
  TestSource(int64_t count, REFERENCE_TIME spacing, std::vector<GUID> subtypes = {kSubtypeA},
             int64_t failAfter = -1);

 protected:
  ~TestSource() override;
  void OnRun() override;
  void OnStop() override;

 private:
  void Stream();
  const int64_t count_;
  const REFERENCE_TIME spacing_;
  const int64_t failAfter_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// Passes every sample and the end of stream on, unchanged.
class PassThrough : public TestFilter {
 public:
  explicit PassThrough(std::vector<GUID> subtypes = {kSubtypeA});
  HRESULT Receive(TestPin*, REFERENCE_TIME time) override { return pin(1)->Deliver(time); }
  HRESULT EndOfStreamAt(TestPin*) override { return pin(1)->EndOfStream(); }
};

// Counts samples; with a clock, waits for each one's presentation time
// (run start + sample time) and records the clock time it was shown at.
// Reports EC_COMPLETE at its end of stream.
class CountingSink : public TestFilter {
 public:
  explicit CountingSink(std::vector<GUID> subtypes = {kSubtypeA}, bool recordTimes = false);
  HRESULT Receive(TestPin*, REFERENCE_TIME time) override;
  HRESULT EndOfStreamAt(TestPin*) override;
  int64_t received() const { return received_.load(); }
  // (sample time, clock time shown) pairs, when recording.
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown();
  // Pause stays intermediate until the first sample arrives (a renderer
  // that cues).
  void CueOnFirstSample() { cues_ = true; }
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT Pause() override;

 protected:
  ~CountingSink() override;
  void OnStop() override;
  void OnRun() override { stopping_.store(false); }

 private:
  const bool recordTimes_;
  std::atomic<int64_t> received_{0};
  bool cues_ = false;
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> shown_;
  // The event (platform/sync) the clock signals.
  HANDLE wait_;
  std::atomic<bool> stopping_{false};
};

}  // namespace ksv::media::graph::testing
