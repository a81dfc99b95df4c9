// Playing a media file: the graph renders the file by itself, and the rate
// is the graph's own.
#include "support/no_throw.h"
#include "graph/graph_routines.h"

namespace ksv::graph {

namespace {

com::ComPtr<IMediaPosition> Position(const QmgHandle* handle) {
  com::ComPtr<IMediaPosition> position;
  if (handle == nullptr || handle->graph == nullptr || !handle->graph->graph) return nullptr;
  if (FAILED(handle->graph->graph->QueryInterface(IID_IMediaPosition,
                                                  reinterpret_cast<void**>(position.GetAddressOf())))) {
    return nullptr;
  }
  return position;
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

// A file the graph cannot render at all fails the build; a partly rendered
// one (a stream without a decoder) plays what it can.
KSV_EXPORT int32_t QMG_BuildPlayMediaFile(QmgHandle* handle, const char* path) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || !handle->graph->graph || path == nullptr) return 0;
    GraphContext& context = *handle->graph;
    const std::u16string wide = Wide(path);
    if (FAILED(context.graph->RenderFile(wide.c_str(), nullptr))) return 0;
    RecordGraphFilters(context, true);
    AttachControls(*handle, true);
    handle->graphKind = kGraphPlayback;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_SetPlayRate(QmgHandle* handle, double rate) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    const auto position = Position(handle);
    return position && position->put_Rate(rate) == S_OK ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_GetPlayRate(QmgHandle* handle, double* rate) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (rate == nullptr) return 0;
    const auto position = Position(handle);
    return position && position->get_Rate(rate) == S_OK ? 1 : 0;
  });
}

}  // extern "C"
