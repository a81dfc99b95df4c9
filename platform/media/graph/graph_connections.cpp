// Connections between the graph's pins: direct ones, the builder's Connect,
// disconnection, and reconnection (see filter_graph.h for when it runs).
#include "include/win32_errors.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filter_ids.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/pin_walk.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {

using com::ComPtr;

namespace {

// The media types `pin` enumerates, in order (freed by the caller).
std::vector<AM_MEDIA_TYPE*> TypesOf(IPin* pin) {
  std::vector<AM_MEDIA_TYPE*> types;
  ComPtr<IEnumMediaTypes> enumerator;
  if (FAILED(pin->EnumMediaTypes(enumerator.ReleaseAndGetAddressOf())) || !enumerator) return types;
  AM_MEDIA_TYPE* type = nullptr;
  ULONG fetched = 0;
  while (enumerator->Next(1, &type, &fetched) == S_OK && fetched == 1) types.push_back(type);
  return types;
}

}  // namespace

FilterGraph::Call::Call(FilterGraph& graph) : graph_(graph), lock_(graph.lock_) {
  ++graph_.callDepth_;
}

FilterGraph::Call::~Call() {
  if (graph_.callDepth_ == 1) graph_.RunReconnectionsLocked();
  --graph_.callDepth_;
}

bool FilterGraph::InGraphLocked(IPin* pin) const {
  const ComPtr<IBaseFilter> owner = OwnerOf(pin);
  return owner && ContainsLocked(owner.Get());
}

HRESULT FilterGraph::ConnectDirectLocked(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
  if (!InGraphLocked(output) || !InGraphLocked(input)) return VFW_E_NOT_IN_GRAPH;
  if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (PeerOf(output) || PeerOf(input)) return VFW_E_ALREADY_CONNECTED;
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  return output->Connect(input, type);
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
  if (output == nullptr || input == nullptr) return E_POINTER;
  Call call(*this);
  return ConnectDirectLocked(output, input, type);
}

HRESULT FilterGraph::ConnectAnyTypeLocked(IPin* output, IPin* input) {
  // After the pins' own negotiation failed: each type the output offers,
  // then each the input offers, named outright.
  HRESULT result = VFW_E_CANNOT_CONNECT;
  for (IPin* offering : {output, input}) {
    std::vector<AM_MEDIA_TYPE*> types = TypesOf(offering);
    bool connected = false;
    for (AM_MEDIA_TYPE* type : types) {
      if (!connected && SUCCEEDED(output->Connect(input, type))) connected = true;
      DeleteMediaType(type);
    }
    if (connected) {
      result = S_OK;
      break;
    }
  }
  return result;
}

HRESULT FilterGraph::Connect(IPin* output, IPin* input) {
  if (output == nullptr || input == nullptr) return E_POINTER;
  Call call(*this);
  const HRESULT checked = ConnectDirectLocked(output, input, nullptr);
  if (SUCCEEDED(checked)) return checked;
  // Only a refusal of types is worth trying harder; a pin in the wrong
  // direction or already connected stays an error.
  if (checked == VFW_E_NOT_IN_GRAPH || checked == VFW_E_INVALID_DIRECTION ||
      checked == VFW_E_ALREADY_CONNECTED || checked == VFW_E_NOT_STOPPED) {
    return checked;
  }
  return SUCCEEDED(BuildLocked(output, input, 0)) ? S_OK : VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::DisconnectBothLocked(IPin* pin) {
  const ComPtr<IPin> peer = PeerOf(pin);
  const HRESULT result = pin->Disconnect();
  if (FAILED(result)) return result;
  if (peer) peer->Disconnect();
  return S_OK;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
  if (pin == nullptr) return E_POINTER;
  Call call(*this);
  // One side only, as the platform does: the caller disconnects the other.
  return pin->Disconnect();
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
  if (pin == nullptr) return E_POINTER;
  Call call(*this);
  if (!PeerOf(pin)) return VFW_E_NOT_CONNECTED;
  if (state_.load() != State_Stopped) return VFW_E_WRONG_STATE;
  pendingReconnections_.push_back(ComPtr<IPin>(pin));
  return S_OK;  // carried out as the outermost call (maybe this one) returns
}

void FilterGraph::RunReconnectionsLocked() {
  // A reconnection may ask for more; each runs once the one before ends.
  while (!pendingReconnections_.empty()) {
    const ComPtr<IPin> pin = pendingReconnections_.front();
    pendingReconnections_.erase(pendingReconnections_.begin());
    ReconnectNowLocked(pin.Get());
  }
}

void FilterGraph::ReconnectNowLocked(IPin* pin) {
  const ComPtr<IPin> peer = PeerOf(pin);
  if (!peer || state_.load() != State_Stopped) return;
  IPin* output = DirectionOf(pin) == PINDIR_OUTPUT ? pin : peer.Get();
  IPin* input = output == pin ? peer.Get() : pin;
  AM_MEDIA_TYPE previous{};
  const bool hadType = SUCCEEDED(output->ConnectionMediaType(&previous));
  if (FAILED(DisconnectBothLocked(output))) {
    if (hadType) FreeMediaType(previous);
    return;
  }
  // Further requests made while this one connects wait for their turn.
  ++callDepth_;
  if (FAILED(output->Connect(input, nullptr)) && hadType) output->Connect(input, &previous);
  --callDepth_;
  if (hadType) FreeMediaType(previous);
}

HRESULT FilterGraph::Render(IPin* output) {
  if (output == nullptr) return E_POINTER;
  Call call(*this);
  if (!InGraphLocked(output)) return VFW_E_NOT_IN_GRAPH;
  if (DirectionOf(output) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (PeerOf(output)) return VFW_E_ALREADY_CONNECTED;
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  return SUCCEEDED(BuildLocked(output, nullptr, 0)) ? S_OK : VFW_E_CANNOT_RENDER;
}

// A file's source is always the File Source (Async.): the framework keeps
// no table of sources by protocol, extension or check bytes; the File
// Source tells the stream's kind from its first bytes and parsers connect
// by that type.
HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) {
  if (filter == nullptr || file == nullptr) return E_POINTER;
  *filter = nullptr;
  ComPtr<IBaseFilter> source;
  if (FAILED(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(source.GetAddressOf())))) {
    return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
  }
  ComPtr<IFileSourceFilter> loader;
  if (FAILED(source.As(&loader))) return E_NOINTERFACE;
  HRESULT result = loader->Load(file, nullptr);
  if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
      result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    return VFW_E_NOT_FOUND;
  }
  if (FAILED(result)) return result;
  // Named by the file, as the platform names it, unless a name is given.
  result = AddFilter(source.Get(), filterName != nullptr ? filterName : file);
  if (FAILED(result)) return result;
  *filter = source.Detach();
  return result;  // VFW_S_DUPLICATE_NAME when the name was taken
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR /*playList*/) {
  if (file == nullptr) return E_POINTER;
  Call call(*this);
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  ComPtr<IBaseFilter> source;
  HRESULT result = AddSourceFilter(file, nullptr, source.GetAddressOf());
  if (FAILED(result)) return result;
  int tried = 0;
  int rendered = 0;
  bool recognised = false;  // a stream of a known kind
  for (const ComPtr<IPin>& pin : PinsOf(source.Get())) {
    if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
    ++tried;
    for (AM_MEDIA_TYPE* type : TypesOf(pin.Get())) {
      if (type->subtype != GUID_NULL) recognised = true;
      DeleteMediaType(type);
    }
    if (SUCCEEDED(Render(pin.Get()))) ++rendered;
  }
  if (rendered == 0) {
    RemoveFilter(source.Get());
    return recognised || tried == 0 ? VFW_E_CANNOT_RENDER : VFW_E_UNSUPPORTED_STREAM;
  }
  return rendered < tried ? VFW_S_PARTIAL_RENDER : S_OK;
}

HRESULT FilterGraph::SetLogFile(ULONG_PTR) { return S_OK; }
HRESULT FilterGraph::Abort() { return S_OK; }
HRESULT FilterGraph::ShouldOperationContinue() { return S_OK; }

}  // namespace ksv::media::graph
