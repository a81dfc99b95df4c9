#include "dlfilter/download_source.h"

#include <new>

#include "dlfilter/download_pin.h"
#include "include/dextro.h"
#include "platform/com/com_method.h"
#include "platform/media/media_guids.h"

namespace ksv::dlfilter {
namespace {

const AMOVIESETUP_MEDIATYPE kVideoType[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kAudioType[] = {{&MEDIATYPE_Audio, &GUID_NULL}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Video Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1,
     kVideoType},
    {const_cast<LPWSTR>(u"Audio Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1,
     kAudioType},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_DownloadSourceFilter, kDownloadSourceFilterName,
                                   MERIT_DO_NOT_USE, 2, kPins};

}  // namespace

DownloadSourceFilter::DownloadSourceFilter(LPUNKNOWN outer, HRESULT* result)
    : CSource("download source", outer, CLSID_DownloadSourceFilter, result) {
  CAutoLock lock(&m_cStateLock);
  // Each pin adds itself to the filter's pins, which delete them.
  HRESULT pinResult = S_OK;
  if (new (std::nothrow) DownloadStreamPin(this, &pinResult, false) == nullptr ||
      new (std::nothrow) DownloadStreamPin(this, &pinResult, true) == nullptr) {
    pinResult = E_OUTOFMEMORY;
  }
  if (result != nullptr && FAILED(pinResult)) *result = pinResult;
}

CUnknown* DownloadSourceFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  HRESULT made = S_OK;
  auto* filter = new (std::nothrow) DownloadSourceFilter(outer, &made);
  if (filter == nullptr) made = E_OUTOFMEMORY;
  if (FAILED(made) && filter != nullptr) {
    delete filter;
    filter = nullptr;
  }
  if (result != nullptr) *result = made;
  return filter;
}

const AMOVIESETUP_FILTER* DownloadSourceFilter::Setup() { return &kSetup; }

HRESULT DownloadSourceFilter::Run(REFERENCE_TIME start) {
  return com::ComMethod([&]() -> HRESULT {
    const HRESULT result = CSource::Run(start);
    if (FAILED(result)) return result;
    // No lock is held while a pin wakes: a thread may be reading the state
    // under it. The pins are taken one by one rather than copied, so that
    // a filter now running wakes its threads even when memory runs out.
    for (size_t i = 0;; ++i) {
      CSourceStream* pin = nullptr;
      {
        CAutoLock lock(&m_cStateLock);
        if (i >= m_paStreams.size()) break;
        pin = m_paStreams[i];
      }
      static_cast<DownloadStreamPin*>(pin)->WakeToRun();
    }
    return result;
  });
}

bool DownloadSourceFilter::IsRunning() {
  CAutoLock lock(&m_cStateLock);
  return m_State == State_Running;
}

}  // namespace ksv::dlfilter
