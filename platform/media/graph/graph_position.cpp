// IMediaPosition on the graph: the rate, which every filter that seeks
// must accept, and the duration, the longest any such filter reports.
// Positions are not kept by this graph: seeking answers E_NOTIMPL.
#include "platform/media/graph/filter_graph.h"

namespace ksv::media::graph {

using com::ComPtr;

HRESULT FilterGraph::get_Duration(REFTIME* length) {
  if (length == nullptr) return E_POINTER;
  Call call(*this);
  LONGLONG longest = -1;
  for (const Member& member : members_) {
    ComPtr<IMediaSeeking> seeking;
    LONGLONG duration = 0;
    if (SUCCEEDED(member.filter.As(&seeking)) && SUCCEEDED(seeking->GetDuration(&duration))) {
      longest = std::max(longest, duration);
    }
  }
  if (longest < 0) return E_NOTIMPL;
  *length = static_cast<REFTIME>(longest) / static_cast<REFTIME>(UNITS);
  return S_OK;
}

HRESULT FilterGraph::put_Rate(double rate) {
  if (!(rate > 0.0)) return E_INVALIDARG;
  Call call(*this);
  std::vector<ComPtr<IMediaSeeking>> changed;
  for (const Member& member : members_) {
    ComPtr<IMediaSeeking> seeking;
    if (FAILED(member.filter.As(&seeking))) continue;
    const HRESULT result = seeking->SetRate(rate);
    if (FAILED(result)) {
      // All or nothing: the filters that took it go back to the old rate.
      for (const ComPtr<IMediaSeeking>& back : changed) back->SetRate(rate_);
      return result;
    }
    changed.push_back(seeking);
  }
  rate_ = rate;
  return S_OK;
}

HRESULT FilterGraph::get_Rate(double* rate) {
  if (rate == nullptr) return E_POINTER;
  Call call(*this);
  *rate = rate_;
  return S_OK;
}

HRESULT FilterGraph::put_CurrentPosition(REFTIME) { return E_NOTIMPL; }
HRESULT FilterGraph::get_CurrentPosition(REFTIME* time) {
  if (time == nullptr) return E_POINTER;
  return E_NOTIMPL;
}
HRESULT FilterGraph::get_StopTime(REFTIME* time) {
  if (time == nullptr) return E_POINTER;
  return E_NOTIMPL;
}
HRESULT FilterGraph::put_StopTime(REFTIME) { return E_NOTIMPL; }
HRESULT FilterGraph::get_PrerollTime(REFTIME* time) {
  if (time == nullptr) return E_POINTER;
  *time = 0;
  return S_OK;
}
HRESULT FilterGraph::put_PrerollTime(REFTIME) { return E_NOTIMPL; }
HRESULT FilterGraph::CanSeekForward(LONG* canSeek) {
  if (canSeek == nullptr) return E_POINTER;
  *canSeek = OAFALSE;
  return S_OK;
}
HRESULT FilterGraph::CanSeekBackward(LONG* canSeek) {
  if (canSeek == nullptr) return E_POINTER;
  *canSeek = OAFALSE;
  return S_OK;
}

}  // namespace ksv::media::graph
