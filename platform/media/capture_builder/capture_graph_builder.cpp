// The capture graph builder's object, its graph, its output file and the
// methods it does not implement.
#include "platform/media/capture_builder/capture_graph_builder.h"

#include <new>

#include "platform/com/inproc_servers.h"
#include "platform/media/capture_builder/pin_search.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::capture {

using com::ComPtr;

CaptureGraphBuilder::CaptureGraphBuilder(LPUNKNOWN outer, HRESULT* result)
    : CUnknown("Capture Graph Builder", outer, result) {}

CUnknown* CaptureGraphBuilder::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* builder = new (std::nothrow) CaptureGraphBuilder(outer, result);
  if (builder == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return builder;
}

HRESULT CaptureGraphBuilder::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_ICaptureGraphBuilder2) {
    return GetInterface(static_cast<ICaptureGraphBuilder2*>(this), object);
  }
  if (iid == IID_ICaptureGraphBuilder) {
    return GetInterface(static_cast<ICaptureGraphBuilder*>(this), object);
  }
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT CaptureGraphBuilder::Graph(ComPtr<IGraphBuilder>* graph) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!graph_) {
    const HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_PPV_ARGS(graph_.GetAddressOf()));
    if (FAILED(result)) return result;
  }
  *graph = graph_;
  return S_OK;
}

HRESULT CaptureGraphBuilder::SetFiltergraph(IGraphBuilder* graph) {
  if (graph == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> hold(mutex_);
  if (graph_) return E_UNEXPECTED;
  graph_ = ComPtr<IGraphBuilder>(graph);
  return S_OK;
}

HRESULT CaptureGraphBuilder::GetFiltergraph(IGraphBuilder** graph) {
  if (graph == nullptr) return E_POINTER;
  *graph = nullptr;
  ComPtr<IGraphBuilder> held;
  const HRESULT result = Graph(&held);
  if (FAILED(result)) return result;
  *graph = held.Detach();
  return S_OK;
}

namespace {

ComPtr<IBaseFilter> Create(REFCLSID clsid, HRESULT* result) {
  ComPtr<IBaseFilter> filter;
  *result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(filter.GetAddressOf()));
  return filter;
}

}  // namespace

HRESULT CaptureGraphBuilder::SetOutputFileName(const GUID* type, LPCOLESTR file,
                                               IBaseFilter** mux, IFileSinkFilter** sink) {
  if (type == nullptr || file == nullptr || mux == nullptr) return E_POINTER;
  *mux = nullptr;
  if (sink != nullptr) *sink = nullptr;
  ComPtr<IGraphBuilder> graph;
  HRESULT result = Graph(&graph);
  if (FAILED(result)) return result;

  // A subtype names the platform's multiplexer for it; anything else is
  // taken as the class of a multiplexer or of a filter that writes itself.
  const bool avi = *type == MEDIASUBTYPE_Avi;
  const ComPtr<IBaseFilter> multiplexer = Create(avi ? CLSID_AviDest : *type, &result);
  if (!multiplexer) return avi ? result : E_INVALIDARG;
  result = graph->AddFilter(multiplexer.Get(), avi ? u"AVI Mux" : u"Mux");
  if (FAILED(result)) return result;

  ComPtr<IBaseFilter> writer;
  ComPtr<IFileSinkFilter> fileSink;
  if (FAILED(multiplexer.As(&fileSink))) {
    writer = Create(CLSID_FileWriter, &result);
    if (writer) result = graph->AddFilter(writer.Get(), u"File writer");
    if (SUCCEEDED(result)) result = writer.As(&fileSink);
    if (SUCCEEDED(result)) {
      const ComPtr<IPin> out = FindPinOf(multiplexer.Get(), {PINDIR_OUTPUT, nullptr, nullptr, true});
      const ComPtr<IPin> in = FindPinOf(writer.Get(), {PINDIR_INPUT, nullptr, nullptr, true});
      result = out && in ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_FAIL;
    }
  }
  if (SUCCEEDED(result)) result = fileSink->SetFileName(file, nullptr);
  if (FAILED(result)) {
    if (writer) graph->RemoveFilter(writer.Get());
    graph->RemoveFilter(multiplexer.Get());
    return result;
  }
  multiplexer.CopyTo(mux);
  if (sink != nullptr) *sink = fileSink.Detach();
  return S_OK;
}

HRESULT CaptureGraphBuilder::FindPin(IUnknown* source, PIN_DIRECTION direction,
                                     const GUID* category, const GUID* type, BOOL unconnected,
                                     int index, IPin** pin) {
  if (source == nullptr || pin == nullptr) return E_POINTER;
  *pin = nullptr;
  const PinQuery query{direction, category, type, unconnected != FALSE};
  ComPtr<IPin> found;
  ComPtr<IBaseFilter> filter;
  if (SUCCEEDED(source->QueryInterface(IID_PPV_ARGS(found.GetAddressOf())))) {
    if (index != 0 || !Matches(found.Get(), query)) return E_FAIL;
  } else if (SUCCEEDED(source->QueryInterface(IID_PPV_ARGS(filter.GetAddressOf())))) {
    found = FindPinOf(filter.Get(), query, index);
    if (!found) return E_FAIL;
  } else {
    return E_NOINTERFACE;
  }
  *pin = found.Detach();
  return S_OK;
}

HRESULT CaptureGraphBuilder::ControlStream(const GUID*, const GUID*, IBaseFilter*,
                                           REFERENCE_TIME*, REFERENCE_TIME*, WORD, WORD) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::ControlStream(const GUID*, IBaseFilter*, REFERENCE_TIME*,
                                           REFERENCE_TIME*, WORD, WORD) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::AllocCapFile(LPCOLESTR, DWORDLONG) { return E_NOTIMPL; }

HRESULT CaptureGraphBuilder::CopyCaptureFile(LPOLESTR, LPOLESTR, int,
                                             IAMCopyCaptureFileProgress*) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::FindInterface(const GUID* category, IBaseFilter* filter, REFIID iid,
                                           void** object) {
  return FindInterface(category, nullptr, filter, iid, object);
}

HRESULT CaptureGraphBuilder::RenderStream(const GUID* category, IUnknown* source,
                                          IBaseFilter* compressor, IBaseFilter* renderer) {
  return RenderStream(category, nullptr, source, compressor, renderer);
}

}  // namespace ksv::media::capture
