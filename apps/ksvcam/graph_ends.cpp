#include "apps/ksvcam/graph_ends.h"

#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/graph_client.h"
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/config_interfaces.h"

namespace ksv::ksvcam {
namespace {

struct FilterPins {
  std::string name;
  size_t inputs = 0;
  size_t connectedInputs = 0;
  size_t connectedOutputs = 0;
  bool capture = false;  // an output pin with IAMStreamConfig: a live source
};

FilterPins Describe(IBaseFilter* filter) {
  FilterPins described;
  FILTER_INFO info{};
  if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
    if (info.pGraph != nullptr) info.pGraph->Release();
    described.name = com::Utf16ToUtf8(com::WideView(info.achName));
  }
  com::ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.GetAddressOf())) || !pins) return described;
  IPin* next = nullptr;
  while (pins->Next(1, &next, nullptr) == S_OK) {
    com::ComPtr<IPin> pin;
    pin.Attach(next);
    PIN_DIRECTION direction;
    if (FAILED(pin->QueryDirection(&direction))) continue;
    com::ComPtr<IPin> peer;
    const bool connected = SUCCEEDED(pin->ConnectedTo(peer.GetAddressOf())) && peer;
    if (direction == PINDIR_INPUT) {
      ++described.inputs;
      if (connected) ++described.connectedInputs;
    } else {
      if (connected) ++described.connectedOutputs;
      com::ComPtr<IAMStreamConfig> config;
      if (SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig,
                                        reinterpret_cast<void**>(config.GetAddressOf())))) {
        described.capture = true;
      }
    }
  }
  return described;
}

std::vector<FilterPins> DescribeFilters(IFilterGraph* graph) {
  std::vector<FilterPins> filters;
  com::ComPtr<IEnumFilters> enumerator;
  if (FAILED(graph->EnumFilters(enumerator.GetAddressOf())) || !enumerator) return filters;
  IBaseFilter* next = nullptr;
  while (enumerator->Next(1, &next, nullptr) == S_OK) {
    com::ComPtr<IBaseFilter> filter;
    filter.Attach(next);
    filters.push_back(Describe(filter.Get()));
  }
  return filters;
}

}  // namespace

void CheckTheGraphEnds(IFilterGraph* graph, double seconds) {
  if (seconds > 0) return;
  const std::vector<FilterPins> filters = DescribeFilters(graph);
  for (const FilterPins& filter : filters) {
    if (filter.capture) {
      CheckSomethingStopsIt(seconds, false);
      return;  // Escape on the terminal stops it
    }
  }
  bool sink = false;
  for (const FilterPins& filter : filters) {
    if (filter.connectedInputs > 0 && filter.connectedOutputs == 0) sink = true;
    if (filter.inputs > 0 && filter.connectedInputs == 0 && filter.connectedOutputs > 0) {
      throw UsageError(Quoted(filter.name) + " has no input connected, so the filters after it "
                       "would wait for ever; give it a stream (see ksvcam graph --help)");
    }
  }
  if (!sink) {
    throw UsageError("nothing in the graph takes a stream (no renderer or File writer), so it "
                     "would never complete; end a chain in one, or give --seconds");
  }
}

}  // namespace ksv::ksvcam
