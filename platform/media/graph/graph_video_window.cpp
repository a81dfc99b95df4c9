// IVideoWindow on the graph: every call goes to the first filter (in the
// order they were added) that has a video window; E_NOINTERFACE when none
// has.
#include "platform/media/graph/filter_graph.h"

namespace ksv::media::graph {

IVideoWindow* FilterGraph::VideoWindowLocked(com::ComPtr<IVideoWindow>* holder) const {
  for (const Member& member : members_) {
    if (SUCCEEDED(member.filter.As(holder))) return holder->Get();
  }
  return nullptr;
}

#define KSV_VIDEO_WINDOW_METHOD(name, params, args)             \
  HRESULT FilterGraph::name params {                            \
    com::ComPtr<IVideoWindow> window;                           \
    {                                                           \
      std::lock_guard guard(lock_);                             \
      if (VideoWindowLocked(&window) == nullptr) return E_NOINTERFACE; \
    }                                                           \
    return window->name args;                                   \
  }
#include "platform/media/graph/video_window_methods.inc"
#undef KSV_VIDEO_WINDOW_METHOD

}  // namespace ksv::media::graph
