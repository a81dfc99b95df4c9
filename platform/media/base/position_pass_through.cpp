#include "platform/media/base/position_pass_through.h"

#include "platform/media/vfw_errors.h"

using ksv::com::ComPtr;

CPosPassThru::CPosPassThru(const TCHAR* name, LPUNKNOWN owner, IPin* input)
    : CUnknown(name, owner), input_(input) {}

HRESULT CPosPassThru::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT CPosPassThru::Upstream(ComPtr<IMediaSeeking>* seeking) {
  ComPtr<IPin> peer;
  if (FAILED(input_->ConnectedTo(peer.GetAddressOf())) || !peer) return VFW_E_NOT_CONNECTED;
  return SUCCEEDED(peer.As(seeking)) ? S_OK : E_NOTIMPL;
}

template <typename Call>
HRESULT CPosPassThru::Forward(Call call) {
  ComPtr<IMediaSeeking> seeking;
  const HRESULT found = Upstream(&seeking);
  return FAILED(found) ? found : call(seeking.Get());
}

HRESULT CPosPassThru::GetCapabilities(DWORD* capabilities) {
  return Forward([&](IMediaSeeking* up) { return up->GetCapabilities(capabilities); });
}
HRESULT CPosPassThru::CheckCapabilities(DWORD* capabilities) {
  return Forward([&](IMediaSeeking* up) { return up->CheckCapabilities(capabilities); });
}
HRESULT CPosPassThru::IsFormatSupported(const GUID* format) {
  return Forward([&](IMediaSeeking* up) { return up->IsFormatSupported(format); });
}
HRESULT CPosPassThru::QueryPreferredFormat(GUID* format) {
  return Forward([&](IMediaSeeking* up) { return up->QueryPreferredFormat(format); });
}
HRESULT CPosPassThru::GetTimeFormat(GUID* format) {
  return Forward([&](IMediaSeeking* up) { return up->GetTimeFormat(format); });
}
HRESULT CPosPassThru::IsUsingTimeFormat(const GUID* format) {
  return Forward([&](IMediaSeeking* up) { return up->IsUsingTimeFormat(format); });
}
HRESULT CPosPassThru::SetTimeFormat(const GUID* format) {
  return Forward([&](IMediaSeeking* up) { return up->SetTimeFormat(format); });
}
HRESULT CPosPassThru::GetDuration(LONGLONG* duration) {
  return Forward([&](IMediaSeeking* up) { return up->GetDuration(duration); });
}
HRESULT CPosPassThru::GetStopPosition(LONGLONG* stop) {
  return Forward([&](IMediaSeeking* up) { return up->GetStopPosition(stop); });
}
HRESULT CPosPassThru::GetCurrentPosition(LONGLONG* current) {
  return Forward([&](IMediaSeeking* up) { return up->GetCurrentPosition(current); });
}
HRESULT CPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                        LONGLONG source, const GUID* sourceFormat) {
  return Forward([&](IMediaSeeking* up) {
    return up->ConvertTimeFormat(target, targetFormat, source, sourceFormat);
  });
}
HRESULT CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                   DWORD stopFlags) {
  return Forward(
      [&](IMediaSeeking* up) { return up->SetPositions(current, currentFlags, stop, stopFlags); });
}
HRESULT CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop) {
  return Forward([&](IMediaSeeking* up) { return up->GetPositions(current, stop); });
}
HRESULT CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  return Forward([&](IMediaSeeking* up) { return up->GetAvailable(earliest, latest); });
}
HRESULT CPosPassThru::SetRate(double rate) {
  return Forward([&](IMediaSeeking* up) { return up->SetRate(rate); });
}
HRESULT CPosPassThru::GetRate(double* rate) {
  return Forward([&](IMediaSeeking* up) { return up->GetRate(rate); });
}
HRESULT CPosPassThru::GetPreroll(LONGLONG* preroll) {
  return Forward([&](IMediaSeeking* up) { return up->GetPreroll(preroll); });
}
