// The converter's configuration interface (include/trsmplrt.h).
#include "platform/com/class_registry.h"
#include "platform/com/com_method.h"
#include "platform/com/hresult.h"
#include "platform/registry/win32_registry.h"
#include "resampler/converter_filter.h"

namespace ksv::resampler {
namespace {

// The error of a registry call as a failure code (the registry's own codes
// are positive and would read as success).
HRESULT RegistryResult(LONG error) {
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<uint32_t>(error));
}

// What Reconnect answers while the filter streams.
constexpr LONG kInvalidData = 13;  // ERROR_INVALID_DATA: not a REG_DWORD
constexpr HRESULT kNotStopped = static_cast<HRESULT>(0x80028029u);

}  // namespace

HRESULT SampleRateConverterFilter::GetRate(LONG* rate) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (rate == nullptr) return E_INVALIDARG;
    CAutoLock lock(&m_csFilter);
    *rate = configured_.rate;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::GetChannels(SHORT* channels) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (channels == nullptr) return E_INVALIDARG;
    CAutoLock lock(&m_csFilter);
    *channels = configured_.channels;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::GetBitsPerSample(SHORT* bits) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (bits == nullptr) return E_INVALIDARG;
    CAutoLock lock(&m_csFilter);
    *bits = configured_.bits;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::GetDefaultNegotiation(LONG* negotiate) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (negotiate == nullptr) return E_POINTER;
    CAutoLock lock(&m_csFilter);
    *negotiate = defaultNegotiation_;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::SetRate(LONG rate) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    configured_.rate = rate;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::SetChannels(SHORT channels) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    configured_.channels = channels;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::SetBitsPerSample(SHORT bits) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    configured_.bits = bits;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::SetDefaultNegotiation(LONG negotiate) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    defaultNegotiation_ = negotiate;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::SetPageWindow(HWND window) {
  pageWindow_ = window;
  return S_OK;
}

HRESULT SampleRateConverterFilter::IsStopped(LONG* stopped) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (stopped == nullptr) return E_POINTER;
    *stopped = CTransformFilter::IsStopped() ? 1 : 0;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::Reconnect() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    {
      CAutoLock lock(&m_csFilter);
      if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return E_POINTER;
      if (!CTransformFilter::IsStopped()) return kNotStopped;
    }
    // The graph takes its own lock and then ours: ask it without ours held.
    return ReconnectPin(m_pOutput, nullptr);
  });
}

HRESULT SampleRateConverterFilter::SetMerit(DWORD merit) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    HKEY key = nullptr;
    const std::string path = com::ClassKeyPath(CLSID_SampleRateConverter);
    LONG error = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                 &key, nullptr);
    if (error != ERROR_SUCCESS) return RegistryResult(error);
    error = RegSetValueExA(key, "Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit),
                           sizeof merit);
    RegCloseKey(key);
    return RegistryResult(error);
  });
}

HRESULT SampleRateConverterFilter::GetMerit(DWORD* merit) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (merit == nullptr) return E_POINTER;
    CAutoLock lock(&m_csFilter);
    HKEY key = nullptr;
    const std::string path = com::ClassKeyPath(CLSID_SampleRateConverter);
    LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
    if (error != ERROR_SUCCESS) return RegistryResult(error);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    error = RegQueryValueExA(key, "Merit", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) return RegistryResult(error);
    if (type != REG_DWORD || size != sizeof value) return RegistryResult(kInvalidData);
    *merit = value;
    return S_OK;
  });
}

}  // namespace ksv::resampler
