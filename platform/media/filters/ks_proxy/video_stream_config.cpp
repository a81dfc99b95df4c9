// What applications set and ask on the capture pin: its format and
// capabilities (IAMStreamConfig), its category (IKsPropertySet) and its
// format page (ISpecifyPropertyPages).
#include <cstring>

#include "platform/com/property_page_list.h"
#include "platform/media/base/pin_category_property.h"
#include "platform/media/pages/page_ids.h"
#include "platform/media/filters/ks_proxy/video_capture_pin.h"

namespace ksv::media::filters {

// ---- IAMStreamConfig

HRESULT VideoCapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CMediaType wanted;
  {
    CAutoLock lock(m_pFilter->pStateLock());
    if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
    if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
    const auto requested = MatchVideoType(*type, camera_->Ranges());
    if (!requested) return VFW_E_INVALIDMEDIATYPE;
    // The driver's intersection for the range is the format, now as then.
    const auto* range = camera_->Ranges()[requested->capability.range];
    std::vector<uint8_t> format;
    if (!platform::kernel::NT_SUCCESS(camera_->Intersect(*range, format))) {
      return VFW_E_INVALIDMEDIATYPE;
    }
    if (!VideoMediaType(format, requested->capability.output, requested->interval, &wanted)) {
      return VFW_E_INVALIDMEDIATYPE;
    }
    if (IsConnected() && m_mt != wanted && GetConnected()->QueryAccept(&wanted) != S_OK) {
      return VFW_E_INVALIDMEDIATYPE;
    }
    chosen_ = wanted;
    formatSet_ = true;
    if (!IsConnected() || m_mt == wanted) return S_OK;
  }
  // Connected in another format: the graph connects the pin again in this one.
  return m_pFilter->ReconnectPin(this, &wanted);
}

HRESULT VideoCapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  *type = nullptr;
  CAutoLock lock(m_pFilter->pStateLock());
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  CMediaType current;
  if (IsConnected()) {
    current = m_mt;
  } else if (formatSet_) {
    current = chosen_;
  } else if (!CapabilityType(0, 0, &current)) {
    return E_UNEXPECTED;
  }
  *type = CreateMediaType(&current);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VideoCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (count == nullptr || size == nullptr) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  *count = static_cast<int>(capabilities_.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT VideoCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (type == nullptr || caps == nullptr) return E_POINTER;
  *type = nullptr;
  if (index < 0) return E_INVALIDARG;
  CAutoLock lock(m_pFilter->pStateLock());
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  if (static_cast<size_t>(index) >= capabilities_.size()) return S_FALSE;
  CMediaType listed;
  if (!CapabilityType(static_cast<size_t>(index), 0, &listed)) return E_UNEXPECTED;
  *type = CreateMediaType(&listed);
  if (*type == nullptr) return E_OUTOFMEMORY;
  const VideoCapability& capability = capabilities_[static_cast<size_t>(index)];
  const VIDEO_STREAM_CONFIG_CAPS record =
      ConfigCapsOf(*camera_->Ranges()[capability.range], capability.output);
  std::memcpy(caps, &record, sizeof record);
  return S_OK;
}

// ---- IKsPropertySet

HRESULT VideoCapturePin::Set(REFGUID propertySet, DWORD id, LPVOID /*instanceData*/,
                             DWORD /*instanceLength*/, LPVOID /*propertyData*/,
                             DWORD /*dataLength*/) {
  return SetPinCategoryProperty(propertySet, id);
}

HRESULT VideoCapturePin::Get(REFGUID propertySet, DWORD id, LPVOID /*instanceData*/,
                             DWORD /*instanceLength*/, LPVOID propertyData, DWORD dataLength,
                             DWORD* returned) {
  return GetPinCategoryProperty(PIN_CATEGORY_CAPTURE, propertySet, id, propertyData, dataLength,
                                returned);
}

HRESULT VideoCapturePin::QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) {
  return QueryPinCategoryProperty(propertySet, id, support);
}

// ---- ISpecifyPropertyPages

HRESULT VideoCapturePin::GetPages(CAUUID* pages) {
  return ListPropertyPages({&CLSID_VideoStreamConfigPropertyPage, 1}, pages);
}

}  // namespace ksv::media::filters
