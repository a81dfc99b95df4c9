// CBasePin: connection, media types and pin information.
#include <algorithm>
#include <new>

#include "platform/com/task_memory.h"
#include "platform/media/base/enumerators.h"
#include "platform/media/base/pins.h"

namespace {

WCHAR* CopyName(LPCWSTR name) {
  size_t length = 0;
  if (name != nullptr) {
    while (name[length] != 0) ++length;
  }
  auto* copy = new WCHAR[length + 1];
  std::copy(name, name + length, copy);
  copy[length] = 0;
  return copy;
}

// Refusals that only say "not this type"; anything else is worth reporting.
bool IsPlainRefusal(HRESULT result) {
  return result == S_FALSE || result == E_FAIL || result == E_INVALIDARG ||
         result == VFW_E_TYPE_NOT_ACCEPTED || result == VFW_E_NO_ACCEPTABLE_TYPES ||
         result == VFW_E_INVALIDMEDIATYPE || result == VFW_E_INVALIDSUBTYPE;
}

}  // namespace

CBasePin::CBasePin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock,
                   HRESULT* result, LPCWSTR pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr, result),
      m_pName(CopyName(pinName)),
      m_dir(direction),
      m_pLock(lock),
      m_pFilter(filter) {}

CBasePin::~CBasePin() {
  if (m_Connected != nullptr) m_Connected->Release();
  delete[] m_pName;
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPin) return GetInterface(static_cast<IPin*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

ULONG CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }
ULONG CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
  CMediaType wanted;
  if (type != nullptr) wanted = *type;
  return AgreeMediaType(receivePin, &wanted);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* type) {
  if (!type->IsPartiallySpecified()) return AttemptConnection(receivePin, type);

  bool attempted = false;
  HRESULT ownError = S_OK;
  HRESULT worth = S_OK;  // the first failure that says more than "refused"
  for (int pass = 0; pass < 2; ++pass) {
    const bool ours = (pass == 0) == (m_bTryMyTypesFirst != FALSE);
    IEnumMediaTypes* types = nullptr;
    const HRESULT enumerated =
        ours ? EnumMediaTypes(&types) : receivePin->EnumMediaTypes(&types);
    if (FAILED(enumerated)) {
      if (ours) ownError = enumerated;
      continue;
    }
    const HRESULT tried = TryMediaTypes(receivePin, type, types, ours, &attempted, &ownError);
    types->Release();
    if (SUCCEEDED(tried)) return S_OK;
    if (worth == S_OK && !IsPlainRefusal(tried)) worth = tried;
  }
  if (worth != S_OK) return worth;
  if (!attempted && FAILED(ownError)) return ownError;
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial,
                                IEnumMediaTypes* types, bool ours, bool* attempted,
                                HRESULT* ownError) {
  HRESULT worth = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* next = nullptr;
    ULONG fetched = 0;
    const HRESULT result = types->Next(1, &next, &fetched);
    if (FAILED(result)) {
      if (ours) *ownError = result;
      return worth;
    }
    if (result != S_OK || fetched != 1) return worth;
    CMediaType candidate(*next);
    DeleteMediaType(next);
    if (!candidate.MatchesPartial(partial)) continue;
    *attempted = true;
    const HRESULT connected = AttemptConnection(receivePin, &candidate);
    if (SUCCEEDED(connected)) return S_OK;
    if (worth == VFW_E_NO_ACCEPTABLE_TYPES && !IsPlainRefusal(connected)) worth = connected;
  }
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
  HRESULT result = CheckConnect(receivePin);
  if (FAILED(result)) {
    BreakConnect();
    return result;
  }
  result = CheckMediaType(type);
  if (result != S_OK) {
    BreakConnect();
    return FAILED(result) ? result : VFW_E_TYPE_NOT_ACCEPTED;
  }
  result = SetMediaType(type);
  if (SUCCEEDED(result)) {
    m_Connected = receivePin;
    m_Connected->AddRef();
    result = receivePin->ReceiveConnection(this, type);
    if (SUCCEEDED(result)) {
      result = CompleteConnect(receivePin);
      if (SUCCEEDED(result)) return S_OK;
      receivePin->Disconnect();
    }
    m_Connected->Release();
    m_Connected = nullptr;
  }
  BreakConnect();
  return result;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
  HRESULT result = CheckConnect(connector);
  if (FAILED(result)) {
    BreakConnect();
    return result;
  }
  const CMediaType offered(*type);
  result = CheckMediaType(&offered);
  if (result != S_OK) {
    BreakConnect();
    return FAILED(result) ? result : VFW_E_TYPE_NOT_ACCEPTED;
  }
  result = SetMediaType(&offered);
  if (SUCCEEDED(result)) {
    m_Connected = connector;
    m_Connected->AddRef();
    result = CompleteConnect(connector);
    if (SUCCEEDED(result)) return S_OK;
    m_Connected->Release();
    m_Connected = nullptr;
  }
  BreakConnect();
  return result;
}

HRESULT CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (m_Connected == nullptr) return S_FALSE;
  const HRESULT result = BreakConnect();
  if (FAILED(result)) return result;
  m_Connected->Release();
  m_Connected = nullptr;
  return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pin = m_Connected;
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  m_Connected->AddRef();
  return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected == nullptr) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = m_pFilter;
  m_pFilter->AddRef();
  info->dir = m_dir;
  size_t length = 0;
  while (m_pName[length] != 0 && length < MAX_PIN_NAME - 1) {
    info->achName[length] = m_pName[length];
    ++length;
  }
  info->achName[length] = 0;
  return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = m_dir;
  return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  size_t length = 0;
  while (m_pName[length] != 0) ++length;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::copy(m_pName, m_pName + length + 1, *id);
  return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  const CMediaType offered(*type);
  return CheckMediaType(&offered) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  *types = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  return *types == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
  return E_NOTIMPL;
}

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  m_tStart = start;
  m_tStop = stop;
  m_dRate = rate;
  return S_OK;
}

HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*type*/) { return E_UNEXPECTED; }

HRESULT CBasePin::SetMediaType(const CMediaType* type) { return m_mt.Set(*type); }

HRESULT CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION direction;
  const HRESULT result = pin->QueryDirection(&direction);
  if (FAILED(result)) return result;
  return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) { return S_OK; }

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) { return S_OK; }
