// ConnectFilters: a direct connection between two filters, tried pin by pin
// and type by type with the upstream pin's own media types.
#include <vector>

#include "graph/graph_routines.h"
#include "platform/media/pin_search.h"

namespace ksv::graph {

using com::ComPtr;

namespace {

// What the connection search needs to know of one pin.
struct PinRecord {
  ComPtr<IPin> pin;
  PIN_DIRECTION direction = PINDIR_INPUT;
  bool connected = false;
  std::vector<AM_MEDIA_TYPE*> types;  // EnumMediaTypes, in order

  PinRecord() = default;
  PinRecord(const PinRecord&) = delete;
  PinRecord& operator=(const PinRecord&) = delete;
  PinRecord(PinRecord&&) = default;
  ~PinRecord() {
    for (AM_MEDIA_TYPE* type : types) DeleteMediaType(type);
  }
};

std::vector<PinRecord> RecordPins(IBaseFilter* filter, bool withTypes) {
  std::vector<PinRecord> records;
  for (ComPtr<IPin>& pin : media::PinsOf(filter)) {
    PinRecord record;
    record.pin = std::move(pin);
    if (FAILED(record.pin->QueryDirection(&record.direction))) continue;
    AM_MEDIA_TYPE connection{};
    record.connected = SUCCEEDED(record.pin->ConnectionMediaType(&connection));
    FreeMediaType(connection);
    ComPtr<IEnumMediaTypes> types;
    if (withTypes && record.direction == PINDIR_OUTPUT && !record.connected &&
        SUCCEEDED(record.pin->EnumMediaTypes(types.GetAddressOf()))) {
      AM_MEDIA_TYPE* type = nullptr;
      while (types->Next(1, &type, nullptr) == S_OK) record.types.push_back(type);
    }
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace

bool ConnectFilters(IBaseFilter* upstream, IBaseFilter* downstream) {
  if (upstream == nullptr || downstream == nullptr) return false;
  const std::vector<PinRecord> outputs = RecordPins(upstream, true);
  const std::vector<PinRecord> inputs = RecordPins(downstream, false);
  for (const PinRecord& output : outputs) {
    if (output.direction != PINDIR_OUTPUT || output.connected) continue;
    for (const PinRecord& input : inputs) {
      if (input.direction != PINDIR_INPUT || input.connected) continue;
      for (const AM_MEDIA_TYPE* type : output.types) {
        if (input.pin->QueryAccept(type) == S_OK && output.pin->Connect(input.pin.Get(), type) == S_OK) {
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace ksv::graph
