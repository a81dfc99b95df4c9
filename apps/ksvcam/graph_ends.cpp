#include "apps/ksvcam/graph_ends.h"

#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_report.h"
#include "platform/com/com_ptr.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/pin_search.h"

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
  described.name = FilterName(filter);
  for (const com::ComPtr<IPin>& pin : media::PinsOf(filter)) {
    const bool connected = static_cast<bool>(media::PeerOf(pin.Get()));
    if (media::DirectionOf(pin.Get()) == PINDIR_INPUT) {
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
  for (const com::ComPtr<IBaseFilter>& filter : Filters(graph)) {
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
