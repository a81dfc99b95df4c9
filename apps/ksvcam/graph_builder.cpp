#include "apps/ksvcam/graph_builder.h"

#include <strings.h>

#include <filesystem>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/console.h"
#include "apps/ksvcam/filter_catalog.h"
#include "apps/ksvcam/hresult_text.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/pin_search.h"

namespace ksv::ksvcam {
namespace {

template <class T>
com::ComPtr<T> Query(IUnknown* object) {
  com::ComPtr<T> result;
  if (object != nullptr) object->QueryInterface(T::kIid, reinterpret_cast<void**>(result.GetAddressOf()));
  return result;
}

bool SameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The registered entry of that friendly name: the legacy filter category
// first (where ordinary filters live), then every category.
com::ComPtr<IMoniker> FindByFriendlyName(const std::string& name) {
  for (const auto& entry : ReadCatalog(CLSID_LegacyAmFilterCategory)) {
    if (SameName(entry.friendlyName, name)) return entry.moniker;
  }
  for (const auto& category : ReadCatalog(CLSID_ActiveMovieCategories)) {
    if (!category.clsid || *category.clsid == CLSID_LegacyAmFilterCategory) continue;
    for (const auto& entry : ReadCatalog(*category.clsid)) {
      if (SameName(entry.friendlyName, name)) return entry.moniker;
    }
  }
  return {};
}

com::ComPtr<IBaseFilter> CreateFilter(const GraphElement& element) {
  com::ComPtr<IBaseFilter> filter;
  HRESULT result = S_OK;
  if (element.clsid) {
    result = CoCreateInstance(*element.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(filter.GetAddressOf()));
  } else {
    const auto moniker = FindByFriendlyName(element.friendlyName);
    if (!moniker) {
      throw CommandFailure("no filter named " + Quoted(element.friendlyName) +
                           "; see ksvcam filters");
    }
    result = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   reinterpret_cast<void**>(filter.GetAddressOf()));
  }
  if (FAILED(result) || !filter) {
    throw CommandFailure("cannot create " + Quoted(element.Label()) + ": " +
                         HresultText(FAILED(result) ? result : E_NOINTERFACE));
  }
  return filter;
}

void GiveFile(const GraphElement& element, IBaseFilter* filter, const SinkPath& sinkPath) {
  HRESULT result = E_NOINTERFACE;
  if (auto source = Query<IFileSourceFilter>(filter)) {
    // Test sources take a count as their "file"; only a path is checked.
    if (std::filesystem::exists(element.file)) RequireRegularFile(element.file);
    result = source->Load(com::Utf8ToUtf16(element.file).c_str(), nullptr);
  } else if (auto sink = Query<IFileSinkFilter>(filter)) {
    const std::string path = sinkPath ? sinkPath(element.file) : element.file;
    result = sink->SetFileName(com::Utf8ToUtf16(path).c_str(), nullptr);
  } else {
    throw CommandFailure(Quoted(element.Label()) +
                         " takes no file= (it is neither a file source nor a file sink)");
  }
  if (FAILED(result)) {
    throw CommandFailure(Quoted(element.Label()) + " cannot take the file " +
                         Quoted(element.file) + ": " + HresultText(result));
  }
}

std::string FilterLabel(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return "?";
  if (info.pGraph != nullptr) info.pGraph->Release();
  return com::Utf16ToUtf8(com::WideView(info.achName));
}

// Each unconnected output of `from` goes to the first unconnected input of
// `to`; an output `to` cannot take stays unconnected (an AVI's video beside
// the sound that goes to WAV Dest). The link fails when no output connects.
void Link(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
  const auto outputs = media::PinsOf(from, PINDIR_OUTPUT, true);
  if (outputs.empty()) {
    throw CommandFailure("cannot connect " + Quoted(FilterLabel(from)) + " to " +
                         Quoted(FilterLabel(to)) + ": " + Quoted(FilterLabel(from)) +
                         " has no unconnected output pin");
  }
  std::string firstFailure;
  bool connected = false;
  for (const auto& output : outputs) {
    // Asked again each time: a filter such as a multiplexer grows a new
    // input pin for every stream connected.
    const auto inputs = media::PinsOf(to, PINDIR_INPUT, true);
    if (inputs.empty()) {
      if (connected) break;
      throw CommandFailure("cannot connect " + PinLabel(output.Get()) + " to " +
                           Quoted(FilterLabel(to)) + ": it has no unconnected input pin");
    }
    const HRESULT result = graph->Connect(output.Get(), inputs.front().Get());
    if (SUCCEEDED(result)) {
      connected = true;
    } else if (firstFailure.empty()) {
      firstFailure = "cannot connect " + PinLabel(output.Get()) + " to " +
                     PinLabel(inputs.front().Get()) + ": " + HresultText(result);
    }
  }
  if (!connected) throw CommandFailure(firstFailure);
}

}  // namespace

std::string PinLabel(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info))) return "'?'";
  std::string filter = "?";
  if (info.pFilter != nullptr) {
    filter = FilterLabel(info.pFilter);
    info.pFilter->Release();
  }
  return Quoted(filter) + "." + Quoted(com::Utf16ToUtf8(com::WideView(info.achName)));
}

BuiltGraph BuildGraph(const GraphDescription& description, const SinkPath& sinkPath) {
  BuiltGraph built;
  HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IGraphBuilder,
                                    reinterpret_cast<void**>(built.graph.GetAddressOf()));
  if (FAILED(result)) {
    throw CommandFailure("cannot create the filter graph: " + HresultText(result));
  }
  for (const GraphElement& element : description.filters) {
    auto filter = CreateFilter(element);
    const std::u16string name = com::Utf8ToUtf16(element.id.empty() ? element.Label() : element.id);
    result = built.graph->AddFilter(filter.Get(), name.c_str());
    if (FAILED(result)) {
      throw CommandFailure("cannot add " + Quoted(element.Label()) + " to the graph: " +
                           HresultText(result));
    }
    if (!element.file.empty()) GiveFile(element, filter.Get(), sinkPath);
    built.filters.push_back(filter);
  }
  for (const GraphLink& link : description.links) {
    Link(built.graph.Get(), built.filters[link.from].Get(), built.filters[link.to].Get());
  }
  return built;
}

}  // namespace ksv::ksvcam
