#include "apps/ksvcam/device_sizes.h"

#include <algorithm>
#include <cstdlib>

#include "apps/ksvcam/filter_catalog.h"
#include "apps/ksvcam/media_setup.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/formats.h"
#include "platform/media/media.h"

namespace ksv::ksvcam {
namespace {

void AddSizes(IAMStreamConfig* config, std::vector<codec::FrameSize>& sizes) {
  int count = 0, capsBytes = 0;
  if (FAILED(config->GetNumberOfCapabilities(&count, &capsBytes)) || capsBytes <= 0) return;
  std::vector<BYTE> caps(static_cast<size_t>(capsBytes));
  for (int index = 0; index < count; ++index) {
    AM_MEDIA_TYPE* type = nullptr;
    if (config->GetStreamCaps(index, &type, caps.data()) != S_OK || type == nullptr) continue;
    if (type->formattype == FORMAT_VideoInfo && type->pbFormat != nullptr &&
        type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      const BITMAPINFOHEADER* bitmap = HEADER(type->pbFormat);
      const codec::FrameSize size{static_cast<uint32_t>(std::abs(bitmap->biWidth)),
                                  static_cast<uint32_t>(std::abs(bitmap->biHeight))};
      const bool known = std::any_of(sizes.begin(), sizes.end(), [&](const codec::FrameSize& s) {
        return s.width == size.width && s.height == size.height;
      });
      if (!known) sizes.push_back(size);
    }
    DeleteMediaType(type);
  }
}

}  // namespace

std::vector<codec::FrameSize> DeviceFrameSizes(const std::string& device) {
  const ComSession com;
  std::vector<codec::FrameSize> sizes;
  for (const CatalogEntry& entry : ReadCatalog(CLSID_VideoInputDeviceCategory)) {
    if (entry.friendlyName != device || !entry.moniker) continue;
    com::ComPtr<IBaseFilter> filter;
    if (FAILED(entry.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                           reinterpret_cast<void**>(filter.GetAddressOf())))) {
      continue;
    }
    com::ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.GetAddressOf()))) continue;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
      com::ComPtr<IPin> held;
      held.Attach(pin);
      com::ComPtr<IAMStreamConfig> config;
      if (SUCCEEDED(held->QueryInterface(IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(config.GetAddressOf())))) {
        AddSizes(config.Get(), sizes);
      }
    }
    break;
  }
  return sizes;
}

}  // namespace ksv::ksvcam
