// The filter graph manager (CLSID_FilterGraph): the filters of one graph,
// their connections, their common state and clock, and the events they
// report.
//
// Threads. Graph calls (membership, connections, state) are serialised by
// one recursive lock, so a filter may call back into the graph from inside
// a graph call on the same thread. Streaming threads only ever reach the
// event sink, which takes the events' own lock, never the graph's: a filter
// that waits for its streaming thread while the graph lock is held cannot
// deadlock with it.
//
// Reconnection. Reconnect on a stopped graph is carried out before the
// outermost graph call on that thread returns to its caller (a filter asks
// for it while its own connection is being made, which must finish first);
// called from outside any graph call it is carried out at once. The pins
// renegotiate their type; when they cannot, the previous type is tried, and
// when that fails too the pins stay disconnected, the documented hazard of
// a reconnection nobody checked with QueryAccept.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/dispatch.h"
#include "platform/media/graph_interfaces.h"
#include "platform/media/graph/graph_events.h"

namespace ksv::media::graph {

class FilterGraph
    : public com::ComObject<IGraphBuilder, NoDispatch<IMediaControl>, NoDispatch<IMediaEventEx>,
                            IMediaEventSink, IMediaFilter, NoDispatch<IMediaPosition>,
                            NoDispatch<IVideoWindow>, IGraphStreamErrors> {
 public:
  FilterGraph();

  // IFilterGraph / IGraphBuilder (graph_membership.cpp, graph_connections.cpp)
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** filters) override;
  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT SetDefaultSyncSource() override;
  HRESULT Connect(IPin* output, IPin* input) override;
  HRESULT Render(IPin* output) override;
  HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
  HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
  HRESULT SetLogFile(ULONG_PTR file) override;
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;

  // IMediaControl and IMediaFilter (graph_state.cpp)
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG milliseconds, OAFilterState* state) override;
  HRESULT RenderFile(BSTR file) override;
  HRESULT AddSourceFilter(BSTR file, IDispatch** filterInfo) override;
  HRESULT get_FilterCollection(IDispatch** collection) override;
  HRESULT get_RegFilterCollection(IDispatch** collection) override;
  HRESULT StopWhenReady() override;
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;

  // IMediaEventEx and IMediaEventSink (graph_event_calls.cpp)
  HRESULT GetEventHandle(OAEVENT* event) override;
  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) override;
  HRESULT WaitForCompletion(LONG milliseconds, LONG* code) override;
  HRESULT CancelDefaultHandling(LONG code) override;
  HRESULT RestoreDefaultHandling(LONG code) override;
  HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
  HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override;
  HRESULT SetNotifyFlags(LONG flags) override;
  HRESULT GetNotifyFlags(LONG* flags) override;
  HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;
  // IGraphStreamErrors, this framework's own (graph_event_calls.cpp)
  HRESULT GetFirstStreamError(HRESULT* error) override;

  // IMediaPosition (graph_position.cpp)
  HRESULT get_Duration(REFTIME* length) override;
  HRESULT put_CurrentPosition(REFTIME time) override;
  HRESULT get_CurrentPosition(REFTIME* time) override;
  HRESULT get_StopTime(REFTIME* time) override;
  HRESULT put_StopTime(REFTIME time) override;
  HRESULT get_PrerollTime(REFTIME* time) override;
  HRESULT put_PrerollTime(REFTIME time) override;
  HRESULT put_Rate(double rate) override;
  HRESULT get_Rate(double* rate) override;
  HRESULT CanSeekForward(LONG* canSeek) override;
  HRESULT CanSeekBackward(LONG* canSeek) override;

  // IVideoWindow, forwarded to the first filter that has one
  // (graph_video_window.cpp)
#define KSV_VIDEO_WINDOW_METHOD(name, params, args) HRESULT name params override;
#include "platform/media/graph/video_window_methods.inc"
#undef KSV_VIDEO_WINDOW_METHOD

 protected:
  ~FilterGraph() override;
  void* FindInterface(REFIID iid) override;

 private:
  struct Member {
    com::ComPtr<IBaseFilter> filter;
    std::u16string name;
  };

  // Marks a graph call on this thread; the outermost one carries out the
  // reconnections asked for during it.
  class Call {
   public:
    explicit Call(FilterGraph& graph);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

   private:
    FilterGraph& graph_;
    std::unique_lock<std::recursive_mutex> lock_;
  };

  // With the graph lock held.
  bool ContainsLocked(IBaseFilter* filter) const;
  std::u16string UniqueNameLocked(LPCWSTR wanted) const;
  std::vector<IBaseFilter*> FiltersLocked() const;
  bool InGraphLocked(IPin* pin) const;
  HRESULT DisconnectBothLocked(IPin* pin);
  HRESULT ConnectDirectLocked(IPin* output, IPin* input, const AM_MEDIA_TYPE* type);
  HRESULT ConnectAnyTypeLocked(IPin* output, IPin* input);
  void RunReconnectionsLocked();
  void ReconnectNowLocked(IPin* pin);
  // Intelligent connection (graph_builder.cpp): from `output` to `input`,
  // or, with `input` null, to renderers, through filters already in the
  // graph and then registered ones; what it added goes again on failure.
  HRESULT BuildLocked(IPin* output, IPin* input, int depth);
  HRESULT BuildThroughLocked(IPin* output, IBaseFilter* filter, IPin* input, int depth);
  HRESULT PauseLocked();
  HRESULT RunLocked();
  HRESULT StopLocked();
  HRESULT ChooseClockLocked();
  void DistributeClockLocked();
  IVideoWindow* VideoWindowLocked(com::ComPtr<IVideoWindow>* holder) const;

  GraphEvents events_;

  std::recursive_mutex lock_;
  int callDepth_ = 0;
  std::vector<com::ComPtr<IPin>> pendingReconnections_;
  std::vector<Member> members_;
  uint32_t membershipVersion_ = 0;

  std::atomic<FILTER_STATE> state_{State_Stopped};
  com::ComPtr<IReferenceClock> clock_;
  bool clockChosen_ = false;  // SetSyncSource was called (null included)
  REFERENCE_TIME startTime_ = 0;
  REFERENCE_TIME pausedAt_ = 0;  // stream time when a running graph paused
  double rate_ = 1.0;
};

}  // namespace ksv::media::graph
