#include "platform/media/filters/ks_proxy/ks_proxy_filter.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/com/property_page_list.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/hardware/device_list.h"
#include "platform/media/filters/ks_proxy/video_capture_pin.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::filters {
namespace {

namespace usb = platform::usbcamd;
namespace kernel = platform::kernel;

constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

kernel::GUID KernelGuid(const GUID& guid) {
  kernel::GUID same;
  same.Data1 = guid.Data1;
  same.Data2 = guid.Data2;
  same.Data3 = guid.Data3;
  std::memcpy(same.Data4, guid.Data4, sizeof same.Data4);
  return same;
}

// A string value of the bag; empty when it has none.
std::string ReadText(IPropertyBag* bag, LPCOLESTR name) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  if (FAILED(bag->Read(name, &value, nullptr)) || value.vt != VT_BSTR) return {};
  std::string text = com::Utf16ToUtf8(com::BstrView(value.bstrVal));
  VariantClear(&value);
  return text;
}

// The camera named `devicePath`, or the first one when it is empty.
usb::UsbDevice* FindCamera(const std::string& devicePath) {
  const auto machine = platform::hardware::EnumerateDevices();
  for (platform::hardware::HardwareDevice* device : machine.devices) {
    if (!devicePath.empty() && device->Name() != devicePath) continue;
    auto* camera = static_cast<usb::UsbDevice*>(device->Function(usb::kUsbDeviceInterface));
    if (camera != nullptr) return camera;
  }
  return nullptr;
}

bool DeclaresSet(const usb::HW_STREAM_HEADER& header, const kernel::GUID& set) {
  for (uint32_t i = 0; i < header.NumDevPropArrayEntries; ++i) {
    if (*header.DevicePropertiesArray[i].Set == set) return true;
  }
  return false;
}

}  // namespace

KsProxyFilter::KsProxyFilter() : CSource("KS proxy", nullptr, CLSID_Proxy) {
  HRESULT result = S_OK;
  pin_ = new VideoCapturePin(&result, this);  // joins the pin list, deleted with it
}

KsProxyFilter::~KsProxyFilter() {
  pin_->UseCamera(nullptr);
  camera_ = nullptr;
  owned_.reset();
}

CUnknown* KsProxyFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  if (outer != nullptr) {
    *result = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  *result = S_OK;
  return new KsProxyFilter();
}

HRESULT KsProxyFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) {
    return GetInterface(static_cast<IPersistPropertyBag*>(this), object);
  }
  if (iid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), object);
  if (iid == IID_ISpecifyPropertyPages) {
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
  }
  return CSource::NonDelegatingQueryInterface(iid, object);
}

// ---- The device

HRESULT KsProxyFilter::Load(IPropertyBag* bag, IErrorLog* /*errorLog*/) {
  if (bag == nullptr) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  if (camera_ != nullptr) return E_UNEXPECTED;
  if (const std::string serial = ReadText(bag, kProxyHostedCameraValue); !serial.empty()) {
    usb::CameraStack* hosted = nullptr;
    char* end = nullptr;
    const uint64_t number = std::strtoull(serial.c_str(), &end, 10);
    if (*end == '\0') usb::CameraStack::UseHosted(number, [&](usb::CameraStack& stack) { hosted = &stack; });
    if (hosted == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
    const HRESULT result = pin_->UseCamera(hosted);
    if (SUCCEEDED(result)) camera_ = hosted;
    return result;
  }
  usb::UsbDevice* device = FindCamera(ReadText(bag, u"DevicePath"));
  if (device == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  usb::CameraStack::UseHosted(usb::CameraStack::HostedSerial(), [this](usb::CameraStack& stack) {
    if (!stack.IsStreaming()) camera_ = &stack;
  });
  if (camera_ == nullptr) {
    std::string error;
    owned_ = usb::CameraStack::Start(*device, &error);
    if (!owned_) return VFW_E_NO_CAPTURE_HARDWARE;
    camera_ = owned_.get();
  }
  const HRESULT result = pin_->UseCamera(camera_);
  if (FAILED(result)) {
    camera_ = nullptr;
    owned_.reset();
  }
  return result;
}

HRESULT KsProxyFilter::Save(IPropertyBag* /*bag*/, BOOL /*clearDirty*/, BOOL /*saveAll*/) {
  return E_NOTIMPL;
}

// ---- State

HRESULT KsProxyFilter::GetState(DWORD milliseconds, FILTER_STATE* state) {
  const HRESULT result = CSource::GetState(milliseconds, state);
  if (SUCCEEDED(result) && *state == State_Paused) return VFW_S_CANT_CUE;
  return result;
}

KsProxyFilter::RunTiming KsProxyFilter::Timing() {
  CAutoLock lock(&m_cStateLock);
  return {m_State, m_tStart, com::ComPtr<IReferenceClock>(m_pClock)};
}

// ---- IKsPropertySet

HRESULT KsProxyFilter::SendProperty(bool isSet, REFGUID propertySet, DWORD id,
                                    LPVOID instanceData, DWORD instanceLength,
                                    LPVOID propertyData, DWORD dataLength, DWORD* returned) {
  if (instanceLength > 0 && instanceData == nullptr) return E_POINTER;
  if (dataLength > 0 && propertyData == nullptr) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  // The request: the property header, then what identifies the instance.
  std::vector<uint8_t> request(usb::kKsPropertySize);
  const uint32_t flags = isSet ? usb::KSPROPERTY_TYPE_SET : usb::KSPROPERTY_TYPE_GET;
  std::memcpy(request.data(), &propertySet, sizeof(GUID));
  std::memcpy(request.data() + 16, &id, 4);
  std::memcpy(request.data() + 20, &flags, 4);
  const auto* extra = static_cast<const uint8_t*>(instanceData);
  size_t extraLength = instanceLength;
  if (extraLength == 0 && dataLength > usb::kKsPropertySize) {
    extra = static_cast<const uint8_t*>(propertyData) + usb::kKsPropertySize;
    extraLength = dataLength - usb::kKsPropertySize;
  }
  if (extraLength > 0) request.insert(request.end(), extra, extra + extraLength);
  const kernel::GUID set = KernelGuid(propertySet);
  const usb::PropertyAnswer answer = camera_->Property(
      isSet, set, id, request, std::span<uint8_t>(static_cast<uint8_t*>(propertyData), dataLength));
  if (returned != nullptr) *returned = answer.bytesTransferred;
  if (kernel::NT_SUCCESS(answer.status)) return S_OK;
  if (answer.status == usb::STATUS_NOT_FOUND) {
    return DeclaresSet(camera_->Streams().StreamHeader, set) ? E_PROP_ID_UNSUPPORTED
                                                            : E_PROP_SET_UNSUPPORTED;
  }
  // An empty buffer asks for the size the answer carries.
  if (answer.status == kernel::STATUS_BUFFER_OVERFLOW && dataLength == 0) return S_OK;
  if (answer.status == kernel::STATUS_BUFFER_TOO_SMALL ||
      answer.status == kernel::STATUS_BUFFER_OVERFLOW) {
    return kInsufficientBuffer;
  }
  if (answer.status == kernel::STATUS_INVALID_PARAMETER) return E_INVALIDARG;
  return E_FAIL;
}

HRESULT KsProxyFilter::Set(REFGUID propertySet, DWORD id, LPVOID instanceData,
                           DWORD instanceLength, LPVOID propertyData, DWORD dataLength) {
  return SendProperty(true, propertySet, id, instanceData, instanceLength, propertyData,
                      dataLength, nullptr);
}

HRESULT KsProxyFilter::Get(REFGUID propertySet, DWORD id, LPVOID instanceData,
                           DWORD instanceLength, LPVOID propertyData, DWORD dataLength,
                           DWORD* returned) {
  if (returned == nullptr) return E_POINTER;
  return SendProperty(false, propertySet, id, instanceData, instanceLength, propertyData,
                      dataLength, returned);
}

HRESULT KsProxyFilter::QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) {
  CAutoLock lock(&m_cStateLock);
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  const kernel::GUID set = KernelGuid(propertySet);
  const usb::HW_STREAM_HEADER& header = camera_->Streams().StreamHeader;
  const usb::KSPROPERTY_ITEM* item = usb::FindPropertyItem(header, set, id);
  if (item == nullptr) return DeclaresSet(header, set) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
  if (support != nullptr) {
    *support = (item->GetSupported ? KSPROPERTY_SUPPORT_GET : 0) |
               (item->SetSupported ? KSPROPERTY_SUPPORT_SET : 0);
  }
  return S_OK;
}

// ---- ISpecifyPropertyPages

HRESULT KsProxyFilter::GetPages(CAUUID* pages) {
  // The camera's settings pages come with their own libraries.
  return ListPropertyPages({}, pages);
}

}  // namespace ksv::media::filters
