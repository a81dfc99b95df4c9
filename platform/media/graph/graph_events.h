// What the graph does with the events its filters report (IMediaEventSink)
// before the application sees them, and the waits of IMediaEvent.
//
// Default handling of EC_COMPLETE: the graph counts, at Run, its sinks
// (filters with connected inputs and no connected outputs). Each sink's
// EC_COMPLETE is held back; once every sink has reported, one EC_COMPLETE
// goes to the application (parameter 1: S_OK, or the first failure a sink
// reported; parameter 2: 0). With the default handling cancelled every
// sink's EC_COMPLETE goes through, its filter in parameter 2 (counted;
// FreeEventParams releases it). EC_REPAINT is absorbed by default (there is
// no video window to repaint). Everything else goes through as it came.
//
// Stream errors: the first EC_ERRORABORT or EC_STREAM_ERROR_STOPPED since
// the graph last left the stopped state is kept (ClearStreamError when it
// leaves it) for filters that ask (IGraphStreamErrors).
//
// WaitForCompletion ends on EC_ERRORABORT, EC_USERABORT, or EC_COMPLETE for
// the whole graph: with the default handling cancelled that is the sink's
// EC_COMPLETE that completed the count, not the first one. The events it
// passes over are discarded, as the platform documents.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/com/unknown.h"
#include "platform/media/graph/event_queue.h"

namespace ksv::media::graph {

class GraphEvents {
 public:
  ~GraphEvents();  // frees the parameters of the events left

  // From a filter (any thread).
  void Notify(int32_t code, intptr_t param1, intptr_t param2);

  // At Run from a stopped graph: the sinks whose end of stream completes
  // it (uncounted; compared by identity only). At Stop: forgotten, as a
  // stopped renderer forgets its end of stream.
  void StartStreams(std::vector<IUnknown*> sinks);
  void StopStreams();
  // The first stream error since ClearStreamError, S_OK when none.
  HRESULT StreamError();
  void ClearStreamError();

  // IMediaEvent. `milliseconds` nullopt waits for ever.
  std::optional<QueuedEvent> Get(std::optional<int64_t> milliseconds) {
    return queue_.Take(milliseconds);
  }
  // The code that ended the wait, or nothing when the time ran out.
  std::optional<int32_t> WaitForCompletion(std::optional<int64_t> milliseconds);
  // S_OK for the codes with default handling, S_FALSE for the others.
  HRESULT SetDefaultHandling(int32_t code, bool on);
  static void FreeParams(int32_t code, intptr_t param1, intptr_t param2);

  EventQueue& queue() { return queue_; }

 private:
  struct Sink {
    IUnknown* filter;
    bool ended;
  };
  // With the lock held: counts one EC_COMPLETE; true when it completed the
  // graph.
  bool CountCompletionLocked(intptr_t sender, HRESULT status);

  EventQueue queue_;
  std::mutex mutex_;
  std::vector<Sink> sinks_;
  size_t sinksLeft_ = 0;
  HRESULT status_ = 0;
  HRESULT streamError_ = 0;
  bool completed_ = false;
  bool defaultComplete_ = true;
  bool defaultRepaint_ = true;
};

}  // namespace ksv::media::graph
