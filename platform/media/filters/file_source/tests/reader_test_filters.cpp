#include "platform/media/filters/file_source/tests/reader_test_filters.h"

namespace ksv::media::testing {

PullingPin::PullingPin(CBaseFilter* filter, CCritSec* lock)
    : CReaderInputPin("pulling pin", filter, lock, nullptr, u"Input") {}

HRESULT PullingPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PullingPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = CReaderInputPin::CompleteConnect(receivePin);
  if (FAILED(result)) return result;
  return Reader()->SyncRead(0, sizeof(firstBytes), firstBytes);
}

PushedPin::PushedPin(CBaseFilter* filter, CCritSec* lock)
    : CBaseInputPin("pushed pin", filter, lock, nullptr, u"In") {}

HRESULT PushedPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace ksv::media::testing
