// CPosPassThru: IMediaSeeking for a filter or pin that does not keep
// positions itself but passes every call upstream, to the output pin
// connected to `input`. A renderer answers it for the whole filter (the
// graph sets the rate and asks the duration through renderers), a
// transform filter on its output pin, so that a call from downstream
// reaches the parser that stamps the samples. Not connected:
// VFW_E_NOT_CONNECTED; an upstream pin that does not seek: E_NOTIMPL.
//
// It is aggregated: its reference count is its owner's (the filter, or
// the pin, which shares its filter's), and the owner deletes it.
#pragma once

#include "platform/media/base/com_base.h"
#include "platform/media/base/media_seeking.h"

class CPosPassThru final : public CUnknown, public CMediaSeeking {
 public:
  // `owner` answers QueryInterface for it; `input` is the owner's input pin.
  CPosPassThru(const TCHAR* name, LPUNKNOWN owner, IPin* input);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
};
