#include "platform/media/graph/graph_events.h"

#include "platform/media/event_codes.h"

namespace ksv::media::graph {

GraphEvents::~GraphEvents() {
  while (std::optional<QueuedEvent> event = queue_.TakeNow()) {
    FreeParams(event->code, event->param1, event->param2);
  }
}

void GraphEvents::StartStreams(std::vector<IUnknown*> sinks) {
  std::lock_guard guard(mutex_);
  sinks_.clear();
  for (IUnknown* sink : sinks) sinks_.push_back({sink, false});
  sinksLeft_ = sinks_.size();
  status_ = S_OK;
  completed_ = false;
}

void GraphEvents::StopStreams() {
  std::lock_guard guard(mutex_);
  sinks_.clear();
  sinksLeft_ = 0;
  completed_ = false;
}

bool GraphEvents::CountCompletionLocked(intptr_t sender, HRESULT status) {
  if (FAILED(status) && SUCCEEDED(status_)) status_ = status;
  if (completed_) return false;
  bool counted = false;
  for (Sink& sink : sinks_) {
    if (!sink.ended && reinterpret_cast<intptr_t>(sink.filter) == sender) {
      sink.ended = true;
      counted = true;
      break;
    }
  }
  // A sender that does not say who it is counts for one sink; one that is
  // no sink (or a sink telling twice) counts for none.
  if (!counted && sender == 0 && sinksLeft_ > 0) counted = true;
  if (counted) --sinksLeft_;
  // A graph without sinks completes on whatever reports completion.
  if (sinksLeft_ == 0 && (counted || sinks_.empty())) completed_ = true;
  return completed_;
}

HRESULT GraphEvents::StreamError() {
  std::lock_guard guard(mutex_);
  return streamError_;
}

void GraphEvents::ClearStreamError() {
  std::lock_guard guard(mutex_);
  streamError_ = S_OK;
}

void GraphEvents::Notify(int32_t code, intptr_t param1, intptr_t param2) {
  std::unique_lock lock(mutex_);
  if ((code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED) && SUCCEEDED(streamError_)) {
    // An error event that carries no failure code still is one.
    const auto reported = static_cast<HRESULT>(param1);
    streamError_ = FAILED(reported) ? reported : E_FAIL;
  }
  if (code == EC_COMPLETE) {
    const bool completes = CountCompletionLocked(param2, static_cast<HRESULT>(param1));
    if (defaultComplete_) {
      const HRESULT status = status_;
      lock.unlock();
      if (completes) queue_.Put({EC_COMPLETE, status, 0});
      return;
    }
    if (param2 != 0) reinterpret_cast<IUnknown*>(param2)->AddRef();
    lock.unlock();
    if (!queue_.Put({code, param1, param2})) FreeParams(code, param1, param2);
    return;
  }
  if (code == EC_REPAINT && defaultRepaint_) return;
  lock.unlock();
  queue_.Put({code, param1, param2});
}

std::optional<int32_t> GraphEvents::WaitForCompletion(std::optional<int64_t> milliseconds) {
  const auto ends = [this](const QueuedEvent& event) {
    if (event.code == EC_ERRORABORT || event.code == EC_USERABORT) return true;
    if (event.code != EC_COMPLETE) return false;
    std::lock_guard guard(mutex_);
    return defaultComplete_ || completed_;
  };
  const auto drop = [](const QueuedEvent& event) {
    FreeParams(event.code, event.param1, event.param2);
  };
  std::optional<QueuedEvent> event = queue_.TakeFirst(milliseconds, ends, drop);
  if (!event) return std::nullopt;
  FreeParams(event->code, event->param1, event->param2);
  return event->code;
}

HRESULT GraphEvents::SetDefaultHandling(int32_t code, bool on) {
  std::lock_guard guard(mutex_);
  if (code == EC_COMPLETE) {
    defaultComplete_ = on;
    return S_OK;
  }
  if (code == EC_REPAINT) {
    defaultRepaint_ = on;
    return S_OK;
  }
  return S_FALSE;
}

void GraphEvents::FreeParams(int32_t code, intptr_t /*param1*/, intptr_t param2) {
  if (code == EC_COMPLETE && param2 != 0) reinterpret_cast<IUnknown*>(param2)->Release();
}

}  // namespace ksv::media::graph
