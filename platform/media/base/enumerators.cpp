#include "platform/media/base/enumerators.h"

#include <new>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* copy)
    : filter_(filter), version_(filter->GetPinVersion()) {
  filter_->AddRef();
  if (copy != nullptr) {
    position_ = copy->position_;
    version_ = copy->version_;
  }
}

CEnumPins::~CEnumPins() { filter_->Release(); }

HRESULT CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr) return E_POINTER;
  if (fetched == nullptr && count > 1) return E_INVALIDARG;
  if (version_ != filter_->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG got = 0;
  const int total = filter_->GetPinCount();
  while (got < count && position_ < total) {
    CBasePin* pin = filter_->GetPin(position_++);
    pins[got] = pin;
    pin->AddRef();
    ++got;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG count) {
  if (version_ != filter_->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  const int left = filter_->GetPinCount() - position_;
  if (static_cast<LONG>(count) > left) {
    position_ += left;
    return S_FALSE;
  }
  position_ += static_cast<int>(count);
  return S_OK;
}

HRESULT CEnumPins::Reset() {
  version_ = filter_->GetPinVersion();
  position_ = 0;
  return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** copy) {
  if (copy == nullptr) return E_POINTER;
  if (version_ != filter_->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  *copy = new (std::nothrow) CEnumPins(filter_, this);
  return *copy == nullptr ? E_OUTOFMEMORY : S_OK;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copy)
    : pin_(pin), version_(pin->GetMediaTypeVersion()) {
  pin_->AddRef();
  if (copy != nullptr) {
    position_ = copy->position_;
    version_ = copy->version_;
  }
}

CEnumMediaTypes::~CEnumMediaTypes() { pin_->Release(); }

HRESULT CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (types == nullptr) return E_POINTER;
  if (fetched == nullptr && count > 1) return E_INVALIDARG;
  if (version_ != pin_->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG got = 0;
  HRESULT error = S_OK;
  while (got < count) {
    CMediaType type;
    const HRESULT result = pin_->GetMediaType(position_, &type);
    if (result != S_OK) {
      if (FAILED(result)) error = result;
      break;
    }
    types[got] = CreateMediaType(&type);
    if (types[got] == nullptr) {
      error = E_OUTOFMEMORY;
      break;
    }
    ++position_;
    ++got;
  }
  if (fetched != nullptr) *fetched = got;
  if (got == 0 && FAILED(error)) return error;
  return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG count) {
  if (version_ != pin_->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  while (count > 0) {
    CMediaType type;
    if (pin_->GetMediaType(position_, &type) != S_OK) return S_FALSE;
    ++position_;
    --count;
  }
  return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
  version_ = pin_->GetMediaTypeVersion();
  position_ = 0;
  return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** copy) {
  if (copy == nullptr) return E_POINTER;
  if (version_ != pin_->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  *copy = new (std::nothrow) CEnumMediaTypes(pin_, this);
  return *copy == nullptr ? E_OUTOFMEMORY : S_OK;
}
