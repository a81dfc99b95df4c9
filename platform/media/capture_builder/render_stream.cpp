// RenderStream: from a source's output pin of a category and major type,
// through the compressor when one is given, to the renderer (or to a
// default renderer). A capture filter without a preview pin previews
// through a Smart Tee on its capture pin (VFW_S_NOPREVIEWPIN); its capture
// is then rendered from the tee's capture output.
#include "platform/com/inproc_servers.h"
#include "platform/media/capture_builder/capture_graph_builder.h"
#include "platform/media/capture_builder/pin_search.h"
#include "platform/media/filter_ids.h"
#include "platform/media/ks_property_set.h"
#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::capture {

using com::ComPtr;

namespace {

// The Smart Tee's outputs, in the platform's order.
constexpr int kTeeCapture = 0;
constexpr int kTeePreview = 1;

bool InGraph(IBaseFilter* filter, IGraphBuilder* graph) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return false;
  ComPtr<IFilterGraph> joined = ComPtr<IFilterGraph>::Adopt(info.pGraph);
  ComPtr<IFilterGraph> ours;
  return joined && SUCCEEDED(ComPtr<IGraphBuilder>(graph).As(&ours)) && ours == joined;
}

// The Smart Tee that `capturePin` feeds, if it feeds one.
ComPtr<IBaseFilter> TeeOn(IPin* capturePin) {
  const ComPtr<IPin> peer = PeerOf(capturePin);
  ComPtr<IBaseFilter> owner = peer ? OwnerOf(peer.Get()) : nullptr;
  return IsClass(owner.Get(), CLSID_SmartTee) ? owner : nullptr;
}

// Puts a Smart Tee on `capturePin`; what the pin fed before is fed by the
// tee's capture output. The graph is left as it was when that fails.
ComPtr<IBaseFilter> InsertTee(IGraphBuilder* graph, IPin* capturePin, HRESULT* result) {
  ComPtr<IBaseFilter> tee;
  *result = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(tee.GetAddressOf()));
  if (FAILED(*result)) return nullptr;
  *result = graph->AddFilter(tee.Get(), u"Smart Tee");
  if (FAILED(*result)) return nullptr;
  const ComPtr<IPin> fed = PeerOf(capturePin);
  if (fed) {
    graph->Disconnect(capturePin);
    graph->Disconnect(fed.Get());
  }
  const ComPtr<IPin> teeIn = FindPinOf(tee.Get(), {PINDIR_INPUT, nullptr, nullptr, true});
  *result = teeIn ? graph->ConnectDirect(capturePin, teeIn.Get(), nullptr) : E_FAIL;
  if (SUCCEEDED(*result) && fed) {
    const ComPtr<IPin> teeCapture =
        FindPinOf(tee.Get(), {PINDIR_OUTPUT, nullptr, nullptr, false}, kTeeCapture);
    *result = graph->ConnectDirect(teeCapture.Get(), fed.Get(), nullptr);
  }
  if (FAILED(*result)) {
    graph->RemoveFilter(tee.Get());  // breaks its connections
    if (fed) graph->ConnectDirect(capturePin, fed.Get(), nullptr);
    return nullptr;
  }
  return tee;
}

// Connects `output` to a free input pin of `filter`, letting the graph
// put filters between when it must.
HRESULT ConnectToFilter(IGraphBuilder* graph, IPin* output, IBaseFilter* filter) {
  HRESULT result = VFW_E_CANNOT_CONNECT;
  for (int index = 0;; ++index) {
    const ComPtr<IPin> input = FindPinOf(filter, {PINDIR_INPUT, nullptr, nullptr, true}, index);
    if (!input) return result;
    result = graph->Connect(output, input.Get());
    if (SUCCEEDED(result)) return S_OK;
  }
}

// No renderer given: video goes to the Video Renderer and audio to the
// DirectSound renderer, as the platform documents; other streams are
// rendered as the graph renders them. Video or audio never falls back to
// the graph's rendering: it would take a free input of a filter already in
// the graph, such as the capture file's multiplexer, and write the preview
// into the file.
HRESULT RenderDefault(IGraphBuilder* graph, IPin* output) {
  const CLSID* clsid = nullptr;
  const char16_t* name = nullptr;
  if (CarriesMajorType(output, MEDIATYPE_Video)) {
    clsid = &CLSID_VideoRenderer;
    name = u"Video Renderer";
  } else if (CarriesMajorType(output, MEDIATYPE_Audio)) {
    clsid = &CLSID_DSoundRender;
    name = u"Default DirectSound Device";
  }
  if (clsid == nullptr) return graph->Render(output);
  ComPtr<IBaseFilter> renderer;
  HRESULT result = CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(renderer.GetAddressOf()));
  if (FAILED(result)) return result;
  result = graph->AddFilter(renderer.Get(), name);
  if (SUCCEEDED(result)) result = ConnectToFilter(graph, output, renderer.Get());
  if (FAILED(result)) graph->RemoveFilter(renderer.Get());
  return result;
}

// The output pin of `filter` to render for `category` and `type`; through
// a Smart Tee for preview without a preview pin (`*status`
// VFW_S_NOPREVIEWPIN), or for capture once a tee is on the capture pin.
ComPtr<IPin> SourcePin(IGraphBuilder* graph, IBaseFilter* filter, const GUID* category,
                       const GUID* type, HRESULT* status) {
  ComPtr<IPin> pin = FindPinOf(filter, {PINDIR_OUTPUT, category, type, true});
  if (pin || category == nullptr) return pin;
  const ComPtr<IPin> capturePin =
      FindPinOf(filter, {PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, false});
  if (!capturePin) return nullptr;
  ComPtr<IBaseFilter> tee = TeeOn(capturePin.Get());
  if (*category == PIN_CATEGORY_CAPTURE) {
    return tee ? FindPinOf(tee.Get(), {PINDIR_OUTPUT, nullptr, nullptr, false}, kTeeCapture)
               : nullptr;
  }
  if (*category != PIN_CATEGORY_PREVIEW ||
      FindPinOf(filter, {PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, type, false})) {
    return nullptr;  // a preview pin that is already connected
  }
  if (!tee) {
    HRESULT result = S_OK;
    tee = InsertTee(graph, capturePin.Get(), &result);
    if (!tee) return nullptr;
  }
  *status = VFW_S_NOPREVIEWPIN;
  return FindPinOf(tee.Get(), {PINDIR_OUTPUT, nullptr, nullptr, false}, kTeePreview);
}

}  // namespace

HRESULT CaptureGraphBuilder::RenderStream(const GUID* category, const GUID* type,
                                          IUnknown* source, IBaseFilter* compressor,
                                          IBaseFilter* renderer) {
  if (source == nullptr) return E_POINTER;
  ComPtr<IGraphBuilder> graph;
  HRESULT result = Graph(&graph);
  if (FAILED(result)) return result;
  for (IBaseFilter* given : {compressor, renderer}) {
    if (given != nullptr && !InGraph(given, graph.Get())) return VFW_E_NOT_IN_GRAPH;
  }

  HRESULT status = S_OK;
  ComPtr<IPin> out;
  ComPtr<IBaseFilter> filter;
  if (SUCCEEDED(source->QueryInterface(IID_PPV_ARGS(out.GetAddressOf())))) {
    const ComPtr<IBaseFilter> owner = OwnerOf(out.Get());
    if (!owner || !InGraph(owner.Get(), graph.Get())) return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(out.Get()) != PINDIR_OUTPUT) return E_INVALIDARG;
    if (PeerOf(out.Get())) return VFW_E_ALREADY_CONNECTED;
  } else if (SUCCEEDED(source->QueryInterface(IID_PPV_ARGS(filter.GetAddressOf())))) {
    if (!InGraph(filter.Get(), graph.Get())) return VFW_E_NOT_IN_GRAPH;
    out = SourcePin(graph.Get(), filter.Get(), category, type, &status);
    if (!out || PeerOf(out.Get())) return E_FAIL;
  } else {
    return E_INVALIDARG;
  }

  if (compressor != nullptr) {
    result = ConnectToFilter(graph.Get(), out.Get(), compressor);
    if (FAILED(result)) return result;
    out = FindPinOf(compressor, {PINDIR_OUTPUT, nullptr, nullptr, true});
    if (!out) return E_FAIL;
  }
  result = renderer != nullptr ? ConnectToFilter(graph.Get(), out.Get(), renderer)
                               : RenderDefault(graph.Get(), out.Get());
  return FAILED(result) ? result : status;
}

}  // namespace ksv::media::capture
