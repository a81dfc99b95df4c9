#include "platform/media/base/position_pass_through.h"

CPosPassThru::CPosPassThru(const TCHAR* name, LPUNKNOWN owner, IPin* input)
    : CUnknown(name, owner), CMediaSeeking(input) {}

HRESULT CPosPassThru::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}
