#include "platform/media/graph/tests/test_filters.h"

#include <cstring>
#include <new>

#include "platform/sync/sync.h"

namespace ksv::media::graph::testing {

using com::ComPtr;

namespace {

AM_MEDIA_TYPE TypeOf(const GUID& subtype) {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.bFixedSizeSamples = TRUE;
  return type;
}

template <class Interface, class Item, class Copy>
class ListEnumerator : public com::ComObject<Interface> {
 public:
  ListEnumerator(std::vector<Item> items, Copy copy) : items_(std::move(items)), copy_(copy) {}
  template <class Out>
  HRESULT NextItems(ULONG count, Out* out, ULONG* fetched) {
    if (out == nullptr) return E_POINTER;
    ULONG given = 0;
    while (given < count && position_ < items_.size()) out[given++] = copy_(items_[position_++]);
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ = std::min(items_.size(), position_ + count);
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(Interface** copy) override {
    *copy = nullptr;
    return E_NOTIMPL;
  }

 protected:
  std::vector<Item> items_;
  Copy copy_;
  size_t position_ = 0;
};

IPin* CopyPin(const ComPtr<TestPin>& pin) {
  pin->AddRef();
  return pin.Get();
}
AM_MEDIA_TYPE* CopyType(const GUID& subtype) {
  const AM_MEDIA_TYPE type = TypeOf(subtype);
  return CreateMediaType(&type);
}

class PinEnumerator : public ListEnumerator<IEnumPins, ComPtr<TestPin>, IPin* (*)(const ComPtr<TestPin>&)> {
 public:
  using ListEnumerator::ListEnumerator;
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
    return NextItems(count, pins, fetched);
  }
};

class TypeEnumerator : public ListEnumerator<IEnumMediaTypes, GUID, AM_MEDIA_TYPE* (*)(const GUID&)> {
 public:
  using ListEnumerator::ListEnumerator;
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    return NextItems(count, types, fetched);
  }
};

}  // namespace

// ---- TestPin

TestPin::TestPin(TestFilter* owner, PIN_DIRECTION direction, std::u16string name,
                 std::vector<GUID> subtypes)
    : owner_(owner), direction_(direction), name_(std::move(name)), subtypes_(std::move(subtypes)) {}

bool TestPin::Accepts(const AM_MEDIA_TYPE* type) const {
  if (type == nullptr) return false;
  for (const GUID& subtype : subtypes_) {
    if (subtype == type->subtype) return true;
  }
  return false;
}

HRESULT TestPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) return E_POINTER;
  if (direction_ != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  std::vector<GUID> candidates;
  if (type != nullptr) {
    candidates.push_back(type->subtype);
  } else {
    candidates = subtypes_;
  }
  for (const GUID& subtype : candidates) {
    const AM_MEDIA_TYPE offered = TypeOf(subtype);
    if (!Accepts(&offered)) continue;
    if (SUCCEEDED(receivePin->ReceiveConnection(this, &offered))) {
      peer_ = static_cast<TestPin*>(receivePin);
      peer_->AddRef();
      subtype_ = subtype;
      ++connections_;
      if (onConnected) onConnected();
      return S_OK;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT TestPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  if (direction_ != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!Accepts(type)) return VFW_E_TYPE_NOT_ACCEPTED;
  peer_ = static_cast<TestPin*>(connector);
  peer_->AddRef();
  subtype_ = type->subtype;
  ++connections_;
  if (onConnected) onConnected();
  return S_OK;
}

HRESULT TestPin::Disconnect() {
  if (owner_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (peer_ == nullptr) return S_FALSE;
  std::exchange(peer_, nullptr)->Release();
  return S_OK;
}

HRESULT TestPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  *pin = peer_;
  if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

HRESULT TestPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
  *type = TypeOf(subtype_);
  return S_OK;
}

HRESULT TestPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = owner_;
  owner_->AddRef();
  info->dir = direction_;
  std::memset(info->achName, 0, sizeof info->achName);
  std::memcpy(info->achName, name_.data(), name_.size() * sizeof(char16_t));
  return S_OK;
}

HRESULT TestPin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT TestPin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(char16_t)));
  std::memcpy(*id, name_.c_str(), (name_.size() + 1) * sizeof(char16_t));
  return S_OK;
}

HRESULT TestPin::QueryAccept(const AM_MEDIA_TYPE* type) { return Accepts(type) ? S_OK : S_FALSE; }

HRESULT TestPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  *types = new TypeEnumerator(subtypes_, &CopyType);
  return S_OK;
}

HRESULT TestPin::EndOfStream() {
  if (direction_ == PINDIR_OUTPUT) return peer_ != nullptr ? peer_->EndOfStream() : S_OK;
  return owner_->EndOfStreamAt(this);
}

HRESULT TestPin::Deliver(REFERENCE_TIME time) {
  if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
  return peer_->owner_->Receive(peer_, time);
}

// ---- TestFilter

TestFilter::TestFilter() = default;
TestFilter::~TestFilter() = default;

HRESULT TestFilter::GetClassID(CLSID* clsid) {
  *clsid = GUID{};
  return S_OK;
}

HRESULT TestFilter::Stop() {
  OnStop();
  state_.store(State_Stopped);
  if (onStateChange) onStateChange(this, State_Stopped);
  return S_OK;
}

HRESULT TestFilter::Pause() {
  state_.store(State_Paused);
  if (onStateChange) onStateChange(this, State_Paused);
  return S_OK;
}

HRESULT TestFilter::Run(REFERENCE_TIME start) {
  {
    std::lock_guard guard(lock_);
    start_ = start;
  }
  state_.store(State_Running);
  if (onStateChange) onStateChange(this, State_Running);
  OnRun();
  return S_OK;
}

HRESULT TestFilter::GetState(DWORD, FILTER_STATE* state) {
  *state = state_.load();
  return S_OK;
}

HRESULT TestFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard guard(lock_);
  clock_ = ComPtr<IReferenceClock>(clock);
  return S_OK;
}

HRESULT TestFilter::GetSyncSource(IReferenceClock** clock) {
  std::lock_guard guard(lock_);
  return clock_.CopyTo(clock);
}

HRESULT TestFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new PinEnumerator(pins_, &CopyPin);
  return S_OK;
}

HRESULT TestFilter::FindPin(LPCWSTR, IPin** pin) {
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT TestFilter::QueryFilterInfo(FILTER_INFO* info) {
  std::memset(info->achName, 0, sizeof info->achName);
  std::memcpy(info->achName, name_.data(), name_.size() * sizeof(char16_t));
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT TestFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  graph_ = graph;
  name_ = name != nullptr ? name : u"";
  return S_OK;
}

TestPin* TestFilter::AddPin(PIN_DIRECTION direction, std::vector<GUID> subtypes) {
  const std::u16string name = (direction == PINDIR_INPUT ? u"In" : u"Out") +
                              std::u16string(1, static_cast<char16_t>(u'0' + pins_.size()));
  pins_.push_back(ComPtr<TestPin>::Adopt(new TestPin(this, direction, name, std::move(subtypes))));
  return pins_.back().Get();
}

TestPin* TestFilter::Output() const {
  for (const ComPtr<TestPin>& pin : pins_) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    pin->QueryDirection(&direction);
    if (direction == PINDIR_OUTPUT) return pin.Get();
  }
  return nullptr;
}

void TestFilter::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  ComPtr<IMediaEventSink> sink;
  if (graph_ != nullptr &&
      SUCCEEDED(graph_->QueryInterface(IID_PPV_ARGS(sink.ReleaseAndGetAddressOf())))) {
    sink->Notify(code, param1, param2);
  }
}

// ---- TestSource

TestSource::TestSource(int64_t count, REFERENCE_TIME spacing, std::vector<GUID> subtypes,
                       int64_t failAfter)
    : count_(count), spacing_(spacing), failAfter_(failAfter) {
  AddPin(PINDIR_OUTPUT, std::move(subtypes));
}

TestSource::~TestSource() { OnStop(); }

void TestSource::OnRun() {
  if (thread_.joinable()) return;
  stopping_.store(false);
  thread_ = std::thread([this] { Stream(); });
}

void TestSource::OnStop() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
}

void TestSource::Stream() {
  for (int64_t i = 0; i < count_ && !stopping_.load(std::memory_order_relaxed); ++i) {
    if (i == failAfter_) {
      Notify(EC_ERRORABORT, E_FAIL, 0);
      return;
    }
    if (FAILED(pin(0)->Deliver(i * spacing_))) return;
  }
  if (!stopping_.load()) pin(0)->EndOfStream();
}

// ---- PassThrough

PassThrough::PassThrough(std::vector<GUID> subtypes) {
  AddPin(PINDIR_INPUT, subtypes);
  AddPin(PINDIR_OUTPUT, std::move(subtypes));
}

// ---- CountingSink

CountingSink::CountingSink(std::vector<GUID> subtypes, bool recordTimes)
    : recordTimes_(recordTimes), wait_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  AddPin(PINDIR_INPUT, std::move(subtypes));
}

HRESULT CountingSink::Receive(TestPin*, REFERENCE_TIME time) {
  if (state() == State_Stopped) return VFW_E_WRONG_STATE;
  ComPtr<IReferenceClock> clock;
  REFERENCE_TIME start = 0;
  {
    std::lock_guard guard(lock_);
    clock = clock_;
    start = start_;
  }
  if (clock) {
    ULONG_PTR cookie = 0;
    if (SUCCEEDED(clock->AdviseTime(start, time, ClockHandleOf(wait_), &cookie))) {
      WaitForSingleObject(wait_, INFINITE);  // the time came, or Stop
      clock->Unadvise(cookie);
      if (stopping_.load()) return VFW_E_WRONG_STATE;
    }
    if (recordTimes_) {
      REFERENCE_TIME now = 0;
      clock->GetTime(&now);
      std::lock_guard guard(lock_);
      shown_.emplace_back(time, now);
    }
  }
  received_.fetch_add(1, std::memory_order_relaxed);
  return S_OK;
}

HRESULT CountingSink::EndOfStreamAt(TestPin*) {
  Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  return S_OK;
}

std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> CountingSink::shown() {
  std::lock_guard guard(lock_);
  return shown_;
}

HRESULT CountingSink::GetState(DWORD, FILTER_STATE* state) {
  *state = this->state();
  if (cues_ && *state == State_Paused && received() == 0) return VFW_S_STATE_INTERMEDIATE;
  return S_OK;
}

void CountingSink::OnStop() {
  stopping_.store(true);
  SetEvent(wait_);
}

CountingSink::~CountingSink() { CloseHandle(wait_); }

HRESULT CountingSink::Pause() {
  TestFilter::Pause();
  return cues_ && received() == 0 ? S_FALSE : S_OK;
}

}  // namespace ksv::media::graph::testing
