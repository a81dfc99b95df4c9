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

#include "platform/com/com_ptr.h"
#include "platform/media/base/com_base.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/filter_interfaces.h"

class CPosPassThru final : public CUnknown, public IMediaSeeking {
 public:
  // `owner` answers QueryInterface for it; `input` is the owner's input pin.
  CPosPassThru(const TCHAR* name, LPUNKNOWN owner, IPin* input);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetCapabilities(DWORD* capabilities) override;
  HRESULT CheckCapabilities(DWORD* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                       DWORD stopFlags) override;
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(LONGLONG* preroll) override;

 private:
  // The upstream pin's IMediaSeeking, or why there is none.
  HRESULT Upstream(ksv::com::ComPtr<IMediaSeeking>* seeking);
  // Calls `call` on the upstream pin's IMediaSeeking.
  template <typename Call>
  HRESULT Forward(Call call);

  IPin* const input_;  // not counted: it lives as long as the owner
};
