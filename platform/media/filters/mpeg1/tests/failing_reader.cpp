#include "platform/media/filters/mpeg1/tests/failing_reader.h"

#include <algorithm>
#include <cstring>

namespace ksv::media::mpeg1::testing {

FailingReaderPin::FailingReaderPin(CBaseFilter* filter, CCritSec* lock,
                                   std::vector<uint8_t> bytes)
    : CBasePin("failing reader", filter, lock, nullptr, u"Output", PINDIR_OUTPUT),
      bytes_(std::move(bytes)),
      failAt_(static_cast<LONGLONG>(bytes_.size()) + 1) {}

HRESULT FailingReaderPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAsyncReader) return GetInterface(static_cast<IAsyncReader*>(this), object);
  return CBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT FailingReaderPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == MEDIASUBTYPE_MPEG1System
             ? S_OK
             : S_FALSE;
}

HRESULT FailingReaderPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Stream);
  type->SetSubtype(&MEDIASUBTYPE_MPEG1System);
  type->SetFormatType(&GUID_NULL);
  return S_OK;
}

HRESULT FailingReaderPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
  if (position < 0 || length < 0) return E_INVALIDARG;
  if (position + length > failAt_.load()) return failure_.load();
  const auto size = static_cast<LONGLONG>(bytes_.size());
  const LONGLONG available = std::clamp<LONGLONG>(size - position, 0, length);
  std::memcpy(buffer, bytes_.data() + position, static_cast<size_t>(available));
  return available == length ? S_OK : S_FALSE;
}

HRESULT FailingReaderPin::Length(LONGLONG* total, LONGLONG* available) {
  *total = static_cast<LONGLONG>(bytes_.size());
  *available = *total;
  return S_OK;
}

namespace {
constexpr GUID kFailingReaderClsid = ksv::com::Guid("0B1D3C3E-5A0C-4C57-8B6B-3E2F1D0A9C11");
}  // namespace

FailingReader::FailingReader(std::vector<uint8_t> bytes)
    : CBaseFilter("failing reader", nullptr, &lock_, kFailingReaderClsid),
      pin_(this, &lock_, std::move(bytes)) {}

}  // namespace ksv::media::mpeg1::testing
