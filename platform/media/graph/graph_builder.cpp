// Intelligent connection: the builder's Connect and Render. A pair of pins
// is first connected directly; then through filters already in the graph
// that have a free input; then through registered filters the mapper finds
// for the output's media types, with merit above "do not use", highest
// merit first. Each filter tried must in turn reach the end from its
// outputs (the downstream pin, or renderers when rendering), to a bounded
// depth; a filter this search added is removed again when its branch fails.
// Pins whose names start with '~' are not used on filters in between.
#include <algorithm>
#include <string>

#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/wide_text.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/pin_walk.h"
#include "platform/media/registration_interfaces.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {

using com::ComPtr;

namespace {

// Filters in between, not counting the two ends.
constexpr int kMostFiltersBetween = 5;

bool Hidden(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info))) return true;
  if (info.pFilter != nullptr) info.pFilter->Release();
  return info.achName[0] == u'~';
}

std::vector<ComPtr<IPin>> FreePins(IBaseFilter* filter, PIN_DIRECTION direction) {
  std::vector<ComPtr<IPin>> free;
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    if (DirectionOf(pin.Get()) == direction && !PeerOf(pin.Get()) && !Hidden(pin.Get())) {
      free.push_back(pin);
    }
  }
  return free;
}

std::optional<CLSID> ClassOf(IBaseFilter* filter) {
  CLSID clsid{};
  if (filter == nullptr || FAILED(filter->GetClassID(&clsid))) return std::nullopt;
  return clsid;
}

// The (major type, subtype) pairs `pin` offers, in its order, without repeats.
std::vector<std::pair<GUID, GUID>> OfferedTypes(IPin* pin) {
  std::vector<std::pair<GUID, GUID>> pairs;
  ComPtr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types.GetAddressOf())) || !types) return pairs;
  AM_MEDIA_TYPE* type = nullptr;
  while (types->Next(1, &type, nullptr) == S_OK) {
    const std::pair<GUID, GUID> pair{type->majortype, type->subtype};
    if (std::find(pairs.begin(), pairs.end(), pair) == pairs.end()) pairs.push_back(pair);
    DeleteMediaType(type);
  }
  return pairs;
}

// Registered filters that take one of `types` and have a merit above
// MERIT_DO_NOT_USE, highest merit first (per type, in the output's order
// of types); with `needOutput`, only filters with an output pin.
// A registered filter the graph may insert: its class and the name it is
// added under (its friendly name, as the graph names filters it inserts).
struct Candidate {
  CLSID clsid;
  std::u16string name;
};

std::vector<Candidate> RegisteredCandidates(const std::vector<std::pair<GUID, GUID>>& types,
                                            bool needOutput) {
  std::vector<Candidate> found;
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(mapper.GetAddressOf())))) {
    return found;
  }
  for (const auto& [major, subtype] : types) {
    const GUID pair[2] = {major, subtype};
    ComPtr<IEnumMoniker> monikers;
    if (mapper->EnumMatchingFilters(monikers.GetAddressOf(), 0, FALSE, MERIT_DO_NOT_USE + 1, TRUE,
                                    1, pair, nullptr, nullptr, FALSE, needOutput, 0, nullptr,
                                    nullptr, nullptr) != S_OK ||
        !monikers) {
      continue;
    }
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
      ComPtr<IMoniker> held;
      held.Attach(moniker);
      ComPtr<IPropertyBag> bag;
      if (FAILED(held->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                     reinterpret_cast<void**>(bag.GetAddressOf())))) {
        continue;
      }
      VARIANT text;
      VariantInit(&text);
      CLSID clsid{};
      const bool read = SUCCEEDED(bag->Read(u"CLSID", &text, nullptr)) && text.vt == VT_BSTR &&
                        SUCCEEDED(CLSIDFromString(text.bstrVal, &clsid));
      VariantClear(&text);
      const bool known = std::any_of(found.begin(), found.end(),
                                     [&](const Candidate& c) { return c.clsid == clsid; });
      if (!read || known) continue;
      Candidate candidate{clsid, {}};
      if (SUCCEEDED(bag->Read(u"FriendlyName", &text, nullptr)) && text.vt == VT_BSTR) {
        candidate.name.assign(text.bstrVal, SysStringLen(text.bstrVal));
      }
      VariantClear(&text);
      found.push_back(std::move(candidate));
    }
  }
  return found;
}

}  // namespace

HRESULT FilterGraph::BuildThroughLocked(IPin* output, IBaseFilter* filter, IPin* input,
                                        int depth) {
  for (const ComPtr<IPin>& filterIn : FreePins(filter, PINDIR_INPUT)) {
    const std::vector<IBaseFilter*> before = FiltersLocked();
    if (FAILED(ConnectDirectLocked(output, filterIn.Get(), nullptr)) &&
        FAILED(ConnectAnyTypeLocked(output, filterIn.Get()))) {
      continue;
    }
    const std::vector<ComPtr<IPin>> outputs = FreePins(filter, PINDIR_OUTPUT);
    bool done = input == nullptr;  // rendering: a renderer ends the branch
    for (const ComPtr<IPin>& next : outputs) {
      const bool reached = SUCCEEDED(BuildLocked(next.Get(), input, depth + 1));
      if (input != nullptr && reached) {
        done = true;  // connecting: one way through is enough
        break;
      }
      if (input == nullptr && !reached) done = false;  // rendering: every output
    }
    if (done) return S_OK;
    // Undo the branch: what it connected from this filter, the filters it
    // added, then this filter's input.
    for (const ComPtr<IPin>& next : outputs) {
      if (PeerOf(next.Get())) DisconnectBothLocked(next.Get());
    }
    for (IBaseFilter* added : FiltersLocked()) {
      if (std::find(before.begin(), before.end(), added) == before.end()) RemoveFilter(added);
    }
    DisconnectBothLocked(output);
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::BuildLocked(IPin* output, IPin* input, int depth) {
  if (input != nullptr && (SUCCEEDED(ConnectDirectLocked(output, input, nullptr)) ||
                           SUCCEEDED(ConnectAnyTypeLocked(output, input)))) {
    return S_OK;
  }
  if (depth >= kMostFiltersBetween) return VFW_E_CANNOT_CONNECT;
  const ComPtr<IBaseFilter> upstream = OwnerOf(output);
  const ComPtr<IBaseFilter> downstream = input != nullptr ? OwnerOf(input) : nullptr;

  // Filters already in the graph with a free input.
  for (IBaseFilter* filter : FiltersLocked()) {
    if (filter == upstream.Get() || filter == downstream.Get()) continue;
    if (SUCCEEDED(BuildThroughLocked(output, filter, input, depth))) return S_OK;
  }

  // Registered filters, never one of the class of either end (a filter
  // converting to its own input would recurse without end).
  const std::optional<CLSID> upstreamClass = ClassOf(upstream.Get());
  const std::optional<CLSID> downstreamClass = ClassOf(downstream.Get());
  for (const Candidate& candidate : RegisteredCandidates(OfferedTypes(output), input != nullptr)) {
    if (candidate.clsid == upstreamClass || candidate.clsid == downstreamClass) continue;
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(candidate.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(filter.GetAddressOf())))) {
      continue;
    }
    if (FAILED(AddFilter(filter.Get(), candidate.name.empty() ? nullptr : candidate.name.c_str()))) {
      continue;
    }
    if (SUCCEEDED(BuildThroughLocked(output, filter.Get(), input, depth))) return S_OK;
    RemoveFilter(filter.Get());
  }
  return VFW_E_CANNOT_CONNECT;
}

}  // namespace ksv::media::graph
