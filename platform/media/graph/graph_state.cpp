// The graph's state: Stop, Pause and Run reach every filter, downstream
// filters first; Run from stopped pauses first. The clock is chosen at
// Pause: the one set with SetSyncSource, else the system clock, unless
// SetSyncSource(NULL) asked for none.
#include <new>

#include "platform/media/graph/counter_wait.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/pin_walk.h"
#include "platform/media/graph/system_clock.h"
#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {
namespace {

// Success codes a filter's state change may give, strongest first.
HRESULT Combine(HRESULT sofar, HRESULT next) {
  if (FAILED(sofar)) return sofar;
  if (FAILED(next)) return next;
  return (sofar == S_FALSE || next == S_FALSE) ? S_FALSE : S_OK;
}

}  // namespace

HRESULT FilterGraph::ChooseClockLocked() {
  if (clockChosen_ || clock_) return S_OK;
  auto* clock = new (std::nothrow) SystemClock();
  if (clock == nullptr) return E_OUTOFMEMORY;
  clock_ = com::ComPtr<IReferenceClock>::Adopt(clock);
  DistributeClockLocked();
  return S_OK;
}

void FilterGraph::DistributeClockLocked() {
  for (const Member& member : members_) member.filter->SetSyncSource(clock_.Get());
}

HRESULT FilterGraph::PauseLocked() {
  HRESULT result = ChooseClockLocked();
  if (FAILED(result)) return result;
  if (state_.load() == State_Stopped) events_.ClearStreamError();
  if (state_.load() == State_Running && clock_) {
    REFERENCE_TIME now = 0;
    clock_->GetTime(&now);
    pausedAt_ = now - startTime_;
  }
  for (IBaseFilter* filter : DownstreamFirst(FiltersLocked())) {
    result = Combine(result, filter->Pause());
    if (FAILED(result)) break;
  }
  state_.store(State_Paused);
  return result;
}

HRESULT FilterGraph::RunLocked() {
  const std::vector<IBaseFilter*> filters = DownstreamFirst(FiltersLocked());
  if (state_.load() == State_Stopped) {
    std::vector<IUnknown*> sinks;
    for (IBaseFilter* sink : SinksOf(filters)) sinks.push_back(sink);
    events_.StartStreams(std::move(sinks));
    pausedAt_ = 0;
  }
  HRESULT result = S_OK;
  if (state_.load() != State_Paused) result = PauseLocked();
  if (FAILED(result)) return result;
  // Stream time 0 is now, or where a paused graph stopped.
  REFERENCE_TIME now = 0;
  if (clock_) clock_->GetTime(&now);
  startTime_ = now - pausedAt_;
  for (IBaseFilter* filter : filters) {
    result = Combine(result, filter->Run(startTime_));
    if (FAILED(result)) break;
  }
  state_.store(State_Running);
  return result;
}

HRESULT FilterGraph::StopLocked() {
  HRESULT result = S_OK;
  // Every filter is stopped even when one fails, so no thread runs on.
  for (IBaseFilter* filter : DownstreamFirst(FiltersLocked())) {
    result = Combine(result, filter->Stop());
  }
  state_.store(State_Stopped);
  events_.StopStreams();
  return result;
}

HRESULT FilterGraph::Run() {
  Call call(*this);
  if (state_.load() == State_Running) return S_OK;
  const HRESULT result = RunLocked();
  // A graph that failed to run is left stopped, not half running.
  if (FAILED(result)) StopLocked();
  return result;
}

HRESULT FilterGraph::Pause() {
  Call call(*this);
  if (state_.load() == State_Paused) return S_OK;
  const HRESULT result = PauseLocked();
  if (FAILED(result)) StopLocked();
  return result;
}

HRESULT FilterGraph::Stop() {
  Call call(*this);
  return StopLocked();
}

HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::GetState(LONG milliseconds, OAFilterState* state) {
  if (state == nullptr) return E_POINTER;
  FILTER_STATE filterState = State_Stopped;
  const HRESULT result = GetState(static_cast<DWORD>(milliseconds), &filterState);
  *state = filterState;
  return result;
}

HRESULT FilterGraph::GetState(DWORD milliseconds, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  Call call(*this);
  *state = state_.load();
  // Each filter is asked in turn, with what is left of the time-out; one
  // still on its way (a renderer waiting for its first sample) makes the
  // graph's state intermediate.
  const platform::kernel::CounterReading start = platform::kernel::ReadInstalledCounter();
  const int64_t deadline = detail::Deadline(start, milliseconds == 0xFFFFFFFFu ? INT32_MAX
                                                                               : milliseconds);
  HRESULT result = S_OK;
  for (IBaseFilter* filter : FiltersLocked()) {
    const std::optional<int64_t> left = detail::NanosecondsLeft(start, deadline);
    const DWORD wait =
        !left ? 0 : (start.real ? static_cast<DWORD>(*left / 1'000'000) : milliseconds);
    FILTER_STATE filterState = State_Stopped;
    const HRESULT answer = filter->GetState(wait, &filterState);
    if (FAILED(answer)) return answer;
    if (answer == VFW_S_STATE_INTERMEDIATE) result = VFW_S_STATE_INTERMEDIATE;
    if (answer == VFW_S_CANT_CUE && result == S_OK) result = VFW_S_CANT_CUE;
  }
  return result;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
  Call call(*this);
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  clock_ = com::ComPtr<IReferenceClock>(clock);
  clockChosen_ = true;
  DistributeClockLocked();
  return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  Call call(*this);
  clock_.CopyTo(clock);
  return clock_ ? S_OK : S_FALSE;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  Call call(*this);
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  clock_ = nullptr;
  clockChosen_ = false;
  return ChooseClockLocked();
}

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

HRESULT FilterGraph::RenderFile(BSTR file) { return RenderFile(file, nullptr); }
HRESULT FilterGraph::AddSourceFilter(BSTR, IDispatch** filterInfo) {
  if (filterInfo != nullptr) *filterInfo = nullptr;
  return E_NOTIMPL;
}
HRESULT FilterGraph::get_FilterCollection(IDispatch** collection) {
  if (collection != nullptr) *collection = nullptr;
  return E_NOTIMPL;
}
HRESULT FilterGraph::get_RegFilterCollection(IDispatch** collection) {
  if (collection != nullptr) *collection = nullptr;
  return E_NOTIMPL;
}
HRESULT FilterGraph::StopWhenReady() {
  Call call(*this);
  if (state_.load() == State_Stopped) return S_OK;
  PauseLocked();
  return StopLocked();
}

}  // namespace ksv::media::graph
