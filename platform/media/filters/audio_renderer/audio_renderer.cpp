#include "platform/media/filters/audio_renderer/audio_renderer.h"

#include <cstring>
#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"

namespace ksv::media::audiorenderer {
namespace {

const AMOVIESETUP_MEDIATYPE kAudio = {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"In"), TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kAudio},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_DSoundRender, u"Default DirectSound Device",
                                   MERIT_PREFERRED, 1, kPins};

// The PCM formats a sound card takes: the fields up to wBitsPerSample
// (the 16-byte PCMWAVEFORMAT is enough) and a block of one frame.
constexpr ULONG kPcmFormatSize = 16;
constexpr DWORD kMaxRate = 384000;
// How often the end of stream looks at what the device still has to play.
constexpr DWORD kDrainPollMilliseconds = 10;

bool IsPlayablePcm(const CMediaType& type) {
  if (*type.Type() != MEDIATYPE_Audio || *type.FormatType() != FORMAT_WaveFormatEx ||
      type.Format() == nullptr || type.FormatLength() < kPcmFormatSize) {
    return false;
  }
  WAVEFORMATEX format{};
  std::memcpy(&format, type.Format(), kPcmFormatSize);
  return format.wFormatTag == WAVE_FORMAT_PCM && *type.Subtype() == MEDIASUBTYPE_PCM &&
         (format.nChannels == 1 || format.nChannels == 2) &&
         (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
         format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
         format.nSamplesPerSec > 0 && format.nSamplesPerSec <= kMaxRate;
}

}  // namespace

AudioRenderer::AudioRenderer(LPUNKNOWN outer, HRESULT* result)
    : CBaseRenderer(CLSID_DSoundRender, "Default DirectSound Device", outer, result),
      abort_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (abort_ == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
}

AudioRenderer::~AudioRenderer() {
  device_.reset();
  if (abort_ != nullptr) CloseHandle(abort_);
}

CUnknown* AudioRenderer::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* renderer = new (std::nothrow) AudioRenderer(outer, result);
  if (renderer == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return renderer;
}

const AMOVIESETUP_FILTER* AudioRenderer::Setup() { return &kSetup; }

HRESULT AudioRenderer::CheckMediaType(const CMediaType* type) {
  return type != nullptr && IsPlayablePcm(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioRenderer::SetMediaType(const CMediaType* type) {
  if (!IsPlayablePcm(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
  format_ = WAVEFORMATEX{};
  std::memcpy(&format_, type->Format(), kPcmFormatSize);
  return S_OK;
}

HRESULT AudioRenderer::Pause() {
  {
    CAutoLock lock(&m_InterfaceLock);
    std::lock_guard guard(deviceLock_);
    if (m_State == State_Stopped) {
      ResetEvent(abort_);
      if (m_pInputPin->IsConnected() && device_ == nullptr) device_ = SoundDevice::Open(format_);
      playing_ = device_ != nullptr;
    } else if (device_ != nullptr) {
      device_->Play(false);  // running to paused: the sound holds
    }
  }
  return CBaseRenderer::Pause();
}

HRESULT AudioRenderer::Run(REFERENCE_TIME start) {
  const HRESULT result = CBaseRenderer::Run(start);
  std::lock_guard guard(deviceLock_);
  if (SUCCEEDED(result) && device_ != nullptr) device_->Play(true);
  return result;
}

HRESULT AudioRenderer::Stop() {
  SetEvent(abort_);  // an end of stream waiting for the device lets go
  const HRESULT result = CBaseRenderer::Stop();
  std::lock_guard guard(deviceLock_);
  playing_ = false;
  device_.reset();
  return result;
}

bool AudioRenderer::DeviceTakesTheStream() const {
  return playing_ && m_pInputPin->CurrentRate() == 1.0;
}

REFERENCE_TIME AudioRenderer::DueTime(REFERENCE_TIME start, REFERENCE_TIME end) {
  // A device is fed ahead and plays at its own pace; without one a buffer
  // lasts until its end.
  return DeviceTakesTheStream() ? start : end;
}

HRESULT AudioRenderer::DoRenderSample(IMediaSample* sample) {
  if (!DeviceTakesTheStream()) return S_OK;  // consumed: its time has passed
  BYTE* bytes = nullptr;
  const LONG length = sample->GetActualDataLength();
  if (FAILED(sample->GetPointer(&bytes)) || length <= 0) return S_OK;
  // Whole frames only: a torn frame would swap the channels from here on.
  const size_t whole = static_cast<size_t>(length) / format_.nBlockAlign * format_.nBlockAlign;
  std::lock_guard guard(deviceLock_);
  if (device_ != nullptr) device_->Queue(bytes, whole);
  return S_OK;
}

bool AudioRenderer::DeviceStillPlaying() {
  std::lock_guard guard(deviceLock_);
  return device_ != nullptr && device_->Queued() > 0;
}

HRESULT AudioRenderer::EndOfStream() {
  // The device plays what it holds before the graph hears the end.
  while (DeviceStillPlaying() &&
         WaitForSingleObject(abort_, kDrainPollMilliseconds) == WAIT_TIMEOUT) {
  }
  return CBaseRenderer::EndOfStream();
}

HRESULT AudioRenderer::BeginFlush() {
  SetEvent(abort_);
  {
    std::lock_guard guard(deviceLock_);
    if (device_ != nullptr) device_->Clear();
  }
  return CBaseRenderer::BeginFlush();
}

HRESULT AudioRenderer::EndFlush() {
  ResetEvent(abort_);
  return CBaseRenderer::EndFlush();
}

}  // namespace ksv::media::audiorenderer
