#include "platform/media/filters/mpeg1/tests/memory_reader.h"

#include <algorithm>
#include <cstring>

namespace ksv::media::mpeg1::testing {

MemoryReaderPin::MemoryReaderPin(CBaseFilter* filter, CCritSec* lock,
                                 std::vector<uint8_t> bytes, const GUID& subtype)
    : CBasePin("memory reader", filter, lock, nullptr, u"Output", PINDIR_OUTPUT),
      bytes_(std::move(bytes)),
      subtype_(subtype),
      failAt_(static_cast<LONGLONG>(bytes_.size()) + 1) {}

HRESULT MemoryReaderPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAsyncReader) return GetInterface(static_cast<IAsyncReader*>(this), object);
  return CBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT MemoryReaderPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == subtype_
             ? S_OK
             : S_FALSE;
}

HRESULT MemoryReaderPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Stream);
  type->SetSubtype(&subtype_);
  type->SetFormatType(&GUID_NULL);
  return S_OK;
}

HRESULT MemoryReaderPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
  if (position < 0 || length < 0) return E_INVALIDARG;
  if (position + length > failAt_.load()) return failure_.load();
  const auto size = static_cast<LONGLONG>(bytes_.size());
  const LONGLONG available = std::clamp<LONGLONG>(size - position, 0, length);
  std::memcpy(buffer, bytes_.data() + position, static_cast<size_t>(available));
  return available == length ? S_OK : S_FALSE;
}

HRESULT MemoryReaderPin::Length(LONGLONG* total, LONGLONG* available) {
  *total = static_cast<LONGLONG>(bytes_.size());
  *available = *total;
  return S_OK;
}

namespace {
constexpr GUID kMemoryReaderClsid = ksv::com::Guid("0B1D3C3E-5A0C-4C57-8B6B-3E2F1D0A9C11");
}  // namespace

MemoryReader::MemoryReader(std::vector<uint8_t> bytes, const GUID& subtype)
    : CBaseFilter("memory reader", nullptr, &lock_, kMemoryReaderClsid),
      pin_(this, &lock_, std::move(bytes), subtype) {}

}  // namespace ksv::media::mpeg1::testing
