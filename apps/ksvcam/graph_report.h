// What `ksvcam graph --verbose` prints of the graph it built: each filter
// (its name in the graph and class identifier), then each connection with
// its media type, major type and subtype named where known.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/media.h"

namespace ksv::ksvcam {

void PrintGraph(IFilterGraph* graph, std::ostream& out);

// The graph's filters in its enumeration order, those it inserted included.
std::vector<com::ComPtr<IBaseFilter>> Filters(IFilterGraph* graph);

// The filter's name in its graph; "?" when it does not answer.
std::string FilterName(IBaseFilter* filter);

// How many filters the graph holds, those it inserted included.
size_t FilterCount(IFilterGraph* graph);

// "Video/I420", a GUID for a type this table does not name.
std::string MediaTypeText(const AM_MEDIA_TYPE& type);

}  // namespace ksv::ksvcam
