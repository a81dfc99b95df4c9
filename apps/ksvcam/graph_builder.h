// Builds the filter graph a description (graph_description.h) names: each
// filter found by friendly name among the registered filters (the legacy
// filter category first, then every category) or created by class
// identifier, given its file, added to the graph, and each link made with
// IGraphBuilder::Connect, so the graph may insert converters between.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "apps/ksvcam/graph_description.h"
#include "platform/com/com_ptr.h"
#include "platform/media/media.h"

namespace ksv::ksvcam {

struct BuiltGraph {
  com::ComPtr<IGraphBuilder> graph;
  std::vector<com::ComPtr<IBaseFilter>> filters;  // as description.filters
};

// Needs COM on the thread and the framework registered. Throws
// CommandFailure for a name no registered filter has ("no filter named
// 'X'; see ksvcam filters"), a file the filter refuses or cannot take, and
// a link that fails ("cannot connect 'A'.'Output' to 'B'.'Input': ...").
// A file source's file must be a regular file. A file sink is given
// `sinkPath(file)` when set (where it writes before the file is put in
// place), else its file.
using SinkPath = std::function<std::string(const std::string& file)>;
BuiltGraph BuildGraph(const GraphDescription& description, const SinkPath& sinkPath = {});

// "'filter'.'pin'", as messages name a pin.
std::string PinLabel(IPin* pin);

}  // namespace ksv::ksvcam
