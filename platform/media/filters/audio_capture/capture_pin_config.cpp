// What applications set and ask on the capture pin: its format and
// capabilities (IAMStreamConfig), its category (IKsPropertySet) and its
// buffers (IAMBufferNegotiation).
#include <cstring>
#include <vector>

#include "platform/media/base/pin_category_property.h"
#include "platform/media/filters/audio_capture/capture_pin.h"
#include "platform/media/filters/audio_capture/pcm_media_type.h"
#include "platform/media/media_guids.h"

namespace ksv::media::filters {
namespace {

using platform::audio::PcmFormat;

// The formats GetStreamCaps lists after the current one, where the device's
// range has them: the common rates, stereo and mono, 16 and 8 bits.
std::vector<PcmFormat> ListedFormats(const PcmFormat& current,
                                     const platform::audio::PcmRange& range) {
  std::vector<PcmFormat> formats{current};
  for (const uint32_t rate : {48000u, 44100u, 22050u, 11025u, 8000u}) {
    for (const uint16_t channels : {uint16_t{2}, uint16_t{1}}) {
      for (const uint16_t bits : {uint16_t{16}, uint16_t{8}}) {
        const PcmFormat format{rate, channels, bits};
        if (range.Contains(format)) formats.push_back(format);
      }
    }
  }
  return formats;
}

}  // namespace

// ---- IAMStreamConfig

HRESULT AudioCapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CMediaType wanted;
  PcmFormat format;
  {
    CAutoLock lock(m_pFilter->pStateLock());
    if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
    if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
    const auto pcm = PcmFormatOf(*type);
    if (!pcm || !source_->Range().Contains(*pcm)) return VFW_E_INVALIDMEDIATYPE;
    format = *pcm;
    PcmMediaType(format, &wanted);
    if (!IsConnected() || format == format_) {
      format_ = format;
      formatSet_ = true;
      return S_OK;
    }
    if (GetConnected()->QueryAccept(&wanted) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    format_ = format;
    formatSet_ = true;
  }
  // Connected in another format: the graph connects the pin again in this one.
  return m_pFilter->ReconnectPin(this, &wanted);
}

HRESULT AudioCapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  *type = nullptr;
  CAutoLock lock(m_pFilter->pStateLock());
  if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  CMediaType current;
  PcmMediaType(format_, &current);
  *type = CreateMediaType(&current);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT AudioCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (count == nullptr || size == nullptr) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  *count = static_cast<int>(ListedFormats(format_, source_->Range()).size());
  *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT AudioCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (type == nullptr || caps == nullptr) return E_POINTER;
  *type = nullptr;
  if (index < 0) return E_INVALIDARG;
  CAutoLock lock(m_pFilter->pStateLock());
  if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  const platform::audio::PcmRange range = source_->Range();
  const auto formats = ListedFormats(format_, range);
  if (static_cast<size_t>(index) >= formats.size()) return S_FALSE;
  CMediaType listed;
  PcmMediaType(formats[static_cast<size_t>(index)], &listed);
  *type = CreateMediaType(&listed);
  if (*type == nullptr) return E_OUTOFMEMORY;
  // Each format stands for the whole range it can be changed within.
  AUDIO_STREAM_CONFIG_CAPS record{};
  record.guid = MEDIATYPE_Audio;
  record.MinimumChannels = range.minimumChannels;
  record.MaximumChannels = range.maximumChannels;
  record.ChannelsGranularity = 1;
  record.MinimumBitsPerSample = range.minimumBits;
  record.MaximumBitsPerSample = range.maximumBits;
  record.BitsPerSampleGranularity = 8;
  record.MinimumSampleFrequency = range.minimumRate;
  record.MaximumSampleFrequency = range.maximumRate;
  record.SampleFrequencyGranularity = 1;
  std::memcpy(caps, &record, sizeof(record));
  return S_OK;
}

// ---- IKsPropertySet

HRESULT AudioCapturePin::Set(REFGUID propertySet, DWORD id, LPVOID /*instanceData*/,
                             DWORD /*instanceLength*/, LPVOID /*propertyData*/,
                             DWORD /*dataLength*/) {
  return SetPinCategoryProperty(propertySet, id);
}

HRESULT AudioCapturePin::Get(REFGUID propertySet, DWORD id, LPVOID /*instanceData*/,
                             DWORD /*instanceLength*/, LPVOID propertyData, DWORD dataLength,
                             DWORD* returned) {
  return GetPinCategoryProperty(PIN_CATEGORY_CAPTURE, propertySet, id, propertyData, dataLength,
                                returned);
}

HRESULT AudioCapturePin::QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) {
  return QueryPinCategoryProperty(propertySet, id, support);
}

// ---- IAMBufferNegotiation

HRESULT AudioCapturePin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  suggested_ = *properties;
  return S_OK;
}

HRESULT AudioCapturePin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->GetProperties(properties);
}

}  // namespace ksv::media::filters
