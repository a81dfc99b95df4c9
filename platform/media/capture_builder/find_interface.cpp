// FindInterface: an interface anywhere along the streams through a filter.
// With no category: the filter, its pins, then everything downstream (each
// pin on the way, each filter and its pins), then everything upstream.
// LOOK_UPSTREAM_ONLY / LOOK_DOWNSTREAM_ONLY: only from the filter's input /
// output pins on, never the filter itself. A pin category: the filter's
// output pin of that category (and major type) and what is downstream of it.
#include <set>

#include "platform/media/capture_builder/capture_graph_builder.h"
#include "platform/media/capture_builder/pin_search.h"

namespace ksv::media::capture {

using com::ComPtr;

namespace {

class Search {
 public:
  Search(REFIID iid, void** object) : iid_(iid), object_(object) {}

  bool Ask(IUnknown* candidate) {
    return candidate != nullptr && SUCCEEDED(candidate->QueryInterface(iid_, object_));
  }

  // The filter itself and all its pins.
  bool Whole(IBaseFilter* filter) {
    visited_.insert(filter);
    if (Ask(filter)) return true;
    for (const ComPtr<IPin>& pin : PinsOf(filter)) {
      if (Ask(pin.Get())) return true;
    }
    return false;
  }

  // From the filter's pins of `direction` on, away from the filter.
  bool Beyond(IBaseFilter* filter, PIN_DIRECTION direction) {
    visited_.insert(filter);
    for (const ComPtr<IPin>& pin : PinsOf(filter)) {
      if (DirectionOf(pin.Get()) != direction) continue;
      if (Ask(pin.Get()) || Across(pin.Get(), direction)) return true;
    }
    return false;
  }

  // The pin's peer, the peer's filter with its pins, and on in `direction`.
  bool Across(IPin* pin, PIN_DIRECTION direction) {
    const ComPtr<IPin> peer = PeerOf(pin);
    if (!peer) return false;
    if (Ask(peer.Get())) return true;
    const ComPtr<IBaseFilter> next = OwnerOf(peer.Get());
    if (!next || visited_.count(next.Get()) != 0) return false;
    return Whole(next.Get()) || Beyond(next.Get(), direction);
  }

 private:
  REFIID iid_;
  void** object_;
  std::set<IBaseFilter*> visited_;
};

}  // namespace

HRESULT CaptureGraphBuilder::FindInterface(const GUID* category, const GUID* type,
                                           IBaseFilter* filter, REFIID iid, void** object) {
  if (object == nullptr || filter == nullptr) return E_POINTER;
  *object = nullptr;
  Search search(iid, object);
  bool found = false;
  if (category != nullptr && *category == LOOK_UPSTREAM_ONLY) {
    found = search.Beyond(filter, PINDIR_INPUT);
  } else if (category != nullptr && *category == LOOK_DOWNSTREAM_ONLY) {
    found = search.Beyond(filter, PINDIR_OUTPUT);
  } else if (category != nullptr) {
    bool anyPin = false;
    for (int index = 0; !found; ++index) {
      const ComPtr<IPin> pin = FindPinOf(filter, {PINDIR_OUTPUT, category, type, false}, index);
      if (!pin) break;
      anyPin = true;
      found = search.Ask(pin.Get()) || search.Across(pin.Get(), PINDIR_OUTPUT);
    }
    if (!anyPin) return E_FAIL;
  } else {
    found = search.Whole(filter) || search.Beyond(filter, PINDIR_OUTPUT) ||
            search.Beyond(filter, PINDIR_INPUT);
  }
  return found ? S_OK : E_NOINTERFACE;
}

}  // namespace ksv::media::capture
