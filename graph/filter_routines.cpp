// Finding, creating and listing filters, recording the graph's filters,
// the run controls and the file writer.
#include <cstring>

#include "graph/category_monikers.h"
#include "graph/graph_routines.h"
#include "platform/com/inproc_servers.h"

namespace ksv::graph {

using com::ComPtr;

GraphContext* CreateGraphContext() {
  auto* context = new GraphContext();
  if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder,
                              reinterpret_cast<void**>(context->builder.GetAddressOf()))) ||
      FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              reinterpret_cast<void**>(context->graph.GetAddressOf()))) ||
      FAILED(context->builder->SetFiltergraph(context->graph.Get()))) {
    delete context;
    return nullptr;
  }
  return context;
}

bool AppendFilter(GraphContext& context, int32_t kind, IBaseFilter* filter) {
  if (context.filterCount >= kMaxFilters) {
    if (kind != kKindRecorded) filter->Release();
    return false;
  }
  context.filters[context.filterCount++] = FilterEntry{kind, filter};
  return true;
}

namespace {

// Lists the new filter (when asked) and adds it to the graph. `filter`
// carries one reference, which the list takes when listed and the caller
// keeps otherwise.
IBaseFilter* ListAndAdd(GraphContext& context, IBaseFilter* filter, int32_t kind, bool listed) {
  if (listed && !AppendFilter(context, kind, filter)) return nullptr;
  if (FAILED(context.graph->AddFilter(filter, nullptr))) {
    // A listed filter stays with its entry until teardown; an unlisted one
    // would otherwise be lost.
    if (!listed) filter->Release();
    return nullptr;
  }
  return filter;
}

bool IsListed(const GraphContext& context, IBaseFilter* filter) {
  for (int index = 0; index < context.filterCount; ++index) {
    if (context.filters[index].filter == filter) return true;
  }
  return false;
}

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

}  // namespace

IBaseFilter* FindFilterByFriendlyName(GraphContext& context, REFCLSID category, const char* name,
                                      int32_t kind, bool listed) {
  if (name == nullptr || !context.graph) return nullptr;
  const ComPtr<IEnumMoniker> monikers = EnumerateCategory(category);
  if (!monikers) return nullptr;
  const bool vexelRule = kind == kKindVideoCompressor && context.useVexel5 != 0;
  IMoniker* next = nullptr;
  while (monikers->Next(1, &next, nullptr) == S_OK) {
    const auto moniker = ComPtr<IMoniker>::Adopt(next);
    const ComPtr<IPropertyBag> bag = OpenPropertyBag(moniker.Get());
    // One byte more than a name may have, to tell a name that was cut.
    char friendly[kFriendlyNameMax + 2] = {};
    if (!bag || !ReadFriendlyName(bag.Get(), friendly, sizeof friendly)) continue;
    const bool cut = std::strlen(friendly) > kFriendlyNameMax;
    friendly[kFriendlyNameMax] = '\0';
    // A name longer than the buffer matches no wanted name, not even the
    // part of it that fits.
    const bool matches = (vexelRule && Contains(friendly, "Vexel") && Contains(friendly, "5")) ||
                         (!cut && std::strcmp(friendly, name) == 0);
    if (!matches) continue;
    IBaseFilter* filter = nullptr;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&filter))) ||
        filter == nullptr) {
      return nullptr;
    }
    return ListAndAdd(context, filter, kind, listed);
  }
  return nullptr;
}

IBaseFilter* CreateFilter(GraphContext& context, REFCLSID clsid, int32_t kind, bool listed) {
  if (!context.graph) return nullptr;
  IBaseFilter* filter = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                              reinterpret_cast<void**>(&filter))) ||
      filter == nullptr) {
    return nullptr;
  }
  return ListAndAdd(context, filter, kind, listed);
}

void RecordGraphFilters(GraphContext& context, bool add) {
  ComPtr<IEnumFilters> each;
  if (!context.graph || FAILED(context.graph->EnumFilters(each.GetAddressOf()))) return;
  IBaseFilter* next = nullptr;
  while (each->Next(1, &next, nullptr) == S_OK) {
    const auto filter = ComPtr<IBaseFilter>::Adopt(next);
    FILTER_INFO info{};
    if (FAILED(filter->QueryFilterInfo(&info))) return;
    if (info.pGraph != nullptr) info.pGraph->Release();
    // The graph keeps the filter alive; a recorded entry owns nothing. A
    // filter already listed is not listed twice: teardown would otherwise
    // remove it again after its own entry released it.
    if (add && !IsListed(context, filter.Get())) AppendFilter(context, kKindRecorded, filter.Get());
  }
}

void AttachControls(QmgHandle& handle, bool videoWindow) {
  GraphContext* context = handle.graph;
  if (context == nullptr || !context->graph) return;
  if (videoWindow) context->graph.As(&context->videoWindow);
  context->graph.As(&context->control);
  context->graph.As(&context->events);
  if (context->events && handle.notify != nullptr && handle.notify->window != nullptr) {
    context->events->SetNotifyWindow(reinterpret_cast<OAHWND>(handle.notify->window),
                                     LONG(kGraphEventMessage), 0);
  }
}

bool AddFileWriter(GraphContext& context, const char* path, bool avi) {
  if (path == nullptr) return false;
  IBaseFilter* writer = CreateFilter(context, CLSID_FileWriter, kKindFileWriter, true);
  if (writer == nullptr) return false;
  ComPtr<IFileSinkFilter> sink;
  if (FAILED(writer->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(sink.GetAddressOf()))) ||
      FAILED(sink->SetFileName(Wide(path).c_str(), nullptr))) {
    return false;
  }
  (avi ? context.aviWriter : context.wavWriter) = writer;
  return true;
}

}  // namespace ksv::graph
