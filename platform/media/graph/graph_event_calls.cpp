// IMediaEventEx and IMediaEventSink: the application's side of the event
// queue and the filters' side (graph_events.h says what happens between).
#include "platform/media/graph/filter_graph.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {
namespace {

constexpr LONG kInfinite = -1;  // INFINITE as a LONG time-out

std::optional<int64_t> TimeOut(LONG milliseconds) {
  if (milliseconds == kInfinite) return std::nullopt;
  return milliseconds < 0 ? 0 : milliseconds;
}

}  // namespace

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  events_.Notify(code, param1, param2);
  return S_OK;
}

HRESULT FilterGraph::GetFirstStreamError(HRESULT* error) {
  if (error == nullptr) return E_POINTER;
  *error = events_.StreamError();
  return FAILED(*error) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetEventHandle(OAEVENT* event) {
  if (event == nullptr) return E_POINTER;
  HANDLE handle = events_.queue().EventHandle();
  *event = reinterpret_cast<OAEVENT>(handle);
  return handle != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) {
  if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
  const std::optional<QueuedEvent> event = events_.Get(TimeOut(milliseconds));
  if (!event) {
    *code = 0;
    *param1 = 0;
    *param2 = 0;
    return E_ABORT;
  }
  *code = event->code;
  *param1 = event->param1;
  *param2 = event->param2;
  return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG milliseconds, LONG* code) {
  if (code == nullptr) return E_POINTER;
  *code = 0;
  if (state_.load() != State_Running) return VFW_E_WRONG_STATE;
  const std::optional<int32_t> ended = events_.WaitForCompletion(TimeOut(milliseconds));
  if (!ended) return E_ABORT;
  *code = *ended;
  return S_OK;
}

HRESULT FilterGraph::CancelDefaultHandling(LONG code) {
  return events_.SetDefaultHandling(code, false);
}

HRESULT FilterGraph::RestoreDefaultHandling(LONG code) {
  return events_.SetDefaultHandling(code, true);
}

HRESULT FilterGraph::FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) {
  GraphEvents::FreeParams(code, param1, param2);
  return S_OK;
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) {
  // Whether the window is live is the windows layer's to know; a message to
  // a window that is gone is dropped there.
  events_.queue().SetNotifyWindow(reinterpret_cast<HWND>(window), static_cast<UINT>(message),
                                  instanceData);
  return S_OK;
}

HRESULT FilterGraph::SetNotifyFlags(LONG flags) {
  if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
  events_.queue().SetNoNotify(flags == AM_MEDIAEVENT_NONOTIFY);
  return S_OK;
}

HRESULT FilterGraph::GetNotifyFlags(LONG* flags) {
  if (flags == nullptr) return E_POINTER;
  *flags = events_.queue().NoNotify() ? AM_MEDIAEVENT_NONOTIFY : 0;
  return S_OK;
}

}  // namespace ksv::media::graph
