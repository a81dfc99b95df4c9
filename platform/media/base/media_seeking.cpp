#include "platform/media/base/media_seeking.h"

#include <cmath>

#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"

using ksv::com::ComPtr;

namespace {

constexpr DWORD kStreamCapabilities =
    AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

bool IsMediaTime(const GUID* format) { return format == nullptr || *format == TIME_FORMAT_MEDIA_TIME; }

}  // namespace

template <typename Forward, typename Own>
HRESULT CMediaSeeking::Answer(Forward forward, Own own) {
  if (stream_ != nullptr) return own();
  ComPtr<IPin> peer;
  if (FAILED(input_->ConnectedTo(peer.GetAddressOf())) || !peer) return VFW_E_NOT_CONNECTED;
  ComPtr<IMediaSeeking> upstream;
  if (FAILED(peer.As(&upstream))) return E_NOTIMPL;
  return forward(upstream.Get());
}

HRESULT CMediaSeeking::GetCapabilities(DWORD* capabilities) {
  return Answer([&](IMediaSeeking* up) { return up->GetCapabilities(capabilities); }, [&] {
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = kStreamCapabilities;
    return S_OK;
  });
}

HRESULT CMediaSeeking::CheckCapabilities(DWORD* capabilities) {
  return Answer([&](IMediaSeeking* up) { return up->CheckCapabilities(capabilities); }, [&] {
    if (capabilities == nullptr) return E_POINTER;
    const DWORD asked = *capabilities;
    *capabilities &= kStreamCapabilities;
    if (*capabilities == asked) return S_OK;
    return *capabilities == 0 ? E_FAIL : S_FALSE;
  });
}

HRESULT CMediaSeeking::IsFormatSupported(const GUID* format) {
  return Answer([&](IMediaSeeking* up) { return up->IsFormatSupported(format); }, [&] {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  });
}

HRESULT CMediaSeeking::QueryPreferredFormat(GUID* format) {
  return Answer([&](IMediaSeeking* up) { return up->QueryPreferredFormat(format); }, [&] {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  });
}

HRESULT CMediaSeeking::GetTimeFormat(GUID* format) {
  return Answer([&](IMediaSeeking* up) { return up->GetTimeFormat(format); },
                [&] { return QueryPreferredFormat(format); });
}

HRESULT CMediaSeeking::IsUsingTimeFormat(const GUID* format) {
  return Answer([&](IMediaSeeking* up) { return up->IsUsingTimeFormat(format); },
                [&] { return IsFormatSupported(format); });
}

HRESULT CMediaSeeking::SetTimeFormat(const GUID* format) {
  return Answer([&](IMediaSeeking* up) { return up->SetTimeFormat(format); }, [&] {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
  });
}

HRESULT CMediaSeeking::GetDuration(LONGLONG* duration) {
  return Answer([&](IMediaSeeking* up) { return up->GetDuration(duration); }, [&] {
    if (duration == nullptr) return E_POINTER;
    *duration = stream_->StreamDuration();
    return S_OK;
  });
}

HRESULT CMediaSeeking::GetStopPosition(LONGLONG* stop) {
  return Answer([&](IMediaSeeking* up) { return up->GetStopPosition(stop); },
                [&] { return GetDuration(stop); });
}

HRESULT CMediaSeeking::GetCurrentPosition(LONGLONG* current) {
  return Answer([&](IMediaSeeking* up) { return up->GetCurrentPosition(current); }, [&] {
    if (current == nullptr) return E_POINTER;
    *current = stream_->StreamPosition();
    return S_OK;
  });
}

HRESULT CMediaSeeking::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                         LONGLONG source, const GUID* sourceFormat) {
  return Answer(
      [&](IMediaSeeking* up) {
        return up->ConvertTimeFormat(target, targetFormat, source, sourceFormat);
      },
      [&] {
        if (target == nullptr) return E_POINTER;
        if (!IsMediaTime(targetFormat) || !IsMediaTime(sourceFormat)) return E_INVALIDARG;
        *target = source;
        return S_OK;
      });
}

HRESULT CMediaSeeking::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                    DWORD stopFlags) {
  return Answer(
      [&](IMediaSeeking* up) { return up->SetPositions(current, currentFlags, stop, stopFlags); },
      [&] {
        constexpr DWORD kPositioning = 0x3;  // the positioning bits of the flags
        const DWORD currentHow = currentFlags & kPositioning;
        const DWORD stopHow = stopFlags & kPositioning;
        if ((currentHow != AM_SEEKING_NoPositioning && current == nullptr) ||
            (stopHow != AM_SEEKING_NoPositioning && stop == nullptr)) {
          return E_POINTER;
        }
        const bool currentWhole = currentHow == AM_SEEKING_NoPositioning ||
                                  (currentHow == AM_SEEKING_AbsolutePositioning && *current == 0);
        const bool stopWhole =
            stopHow == AM_SEEKING_NoPositioning ||
            (stopHow == AM_SEEKING_AbsolutePositioning && *stop == stream_->StreamDuration());
        return currentWhole && stopWhole ? S_OK : E_NOTIMPL;
      });
}

HRESULT CMediaSeeking::GetPositions(LONGLONG* current, LONGLONG* stop) {
  return Answer([&](IMediaSeeking* up) { return up->GetPositions(current, stop); }, [&] {
    if (current != nullptr) *current = stream_->StreamPosition();
    if (stop != nullptr) *stop = stream_->StreamDuration();
    return S_OK;
  });
}

HRESULT CMediaSeeking::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  return Answer([&](IMediaSeeking* up) { return up->GetAvailable(earliest, latest); }, [&] {
    if (earliest != nullptr) *earliest = 0;
    if (latest != nullptr) *latest = stream_->StreamDuration();
    return S_OK;
  });
}

HRESULT CMediaSeeking::SetRate(double rate) {
  return Answer([&](IMediaSeeking* up) { return up->SetRate(rate); }, [&] {
    if (!(rate > 0.0) || !std::isfinite(rate)) return E_INVALIDARG;
    stream_->ChangeStreamRate(rate);
    return S_OK;
  });
}

HRESULT CMediaSeeking::GetRate(double* rate) {
  return Answer([&](IMediaSeeking* up) { return up->GetRate(rate); }, [&] {
    if (rate == nullptr) return E_POINTER;
    *rate = stream_->StreamRate();
    return S_OK;
  });
}

HRESULT CMediaSeeking::GetPreroll(LONGLONG* preroll) {
  return Answer([&](IMediaSeeking* up) { return up->GetPreroll(preroll); }, [&] {
    if (preroll == nullptr) return E_POINTER;
    *preroll = 0;
    return S_OK;
  });
}
