#include "platform/vfw/video_source.h"

#include <dlfcn.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/apartment.h"
#include "platform/com/bstr.h"
#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/wide_text.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/pages/page_ids.h"
#include "platform/media/registration_interfaces.h"
#include "platform/registry/registry_store.h"
#include "platform/ui/property_frame.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/vfw/control_pages.h"

namespace ksv::platform::vfw {
namespace {

using AddPage = int32_t (*)(HPROPSHEETPAGE, intptr_t);
using Extension = uint32_t (*)(void*, AddPage, intptr_t);

// The one value the proxy reads: the camera stack this process runs.
class HostedCameraBag final : public com::ComObject<IPropertyBag> {
 public:
  explicit HostedCameraBag(uint64_t serial) : serial_(com::Utf8ToUtf16(std::to_string(serial))) {}
  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    if (std::u16string_view(name) != kProxyHostedCameraValue) return E_INVALIDARG;
    if (value->vt != VT_EMPTY && value->vt != VT_BSTR) return E_FAIL;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(serial_.c_str());
    return value->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  const std::u16string serial_;
};

// The mapper's "Video Format" page: the stream format page over the
// capture pin of a proxy filter on the camera this process runs. Null when
// no camera runs or the framework's classes are not there.
HPROPSHEETPAGE MakeFormatPage() {
  const uint64_t serial = usbcamd::CameraStack::HostedSerial();
  if (serial == 0) return nullptr;
  com::ComPtr<IPersistPropertyBag> proxy;
  if (FAILED(CoCreateInstance(CLSID_Proxy, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistPropertyBag,
                              reinterpret_cast<void**>(proxy.GetAddressOf())))) {
    return nullptr;
  }
  const auto bag = com::ComPtr<HostedCameraBag>::Adopt(new HostedCameraBag(serial));
  com::ComPtr<IBaseFilter> filter;
  com::ComPtr<IPin> pin;
  com::ComPtr<IAMStreamConfig> config;
  com::ComPtr<IPropertyPage> page;
  if (FAILED(proxy->Load(bag.Get(), nullptr)) ||
      FAILED(proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf()))) ||
      FAILED(filter->FindPin(u"Capture", pin.GetAddressOf())) ||
      FAILED(pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(config.GetAddressOf()))) ||
      FAILED(CoCreateInstance(CLSID_VideoStreamConfigPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IPropertyPage, reinterpret_cast<void**>(page.GetAddressOf())))) {
    return nullptr;
  }
  IUnknown* objects[] = {config.Get()};
  if (FAILED(page->SetObjects(1, objects))) return nullptr;
  // The page holds the pin, and through it the filter, until the sheet lets go of it.
  HPROPSHEETPAGE made = ui::CreateComPropertySheetPage(page.Get(), 0, "Video Format");
  if (made == nullptr) page->SetObjects(0, nullptr);
  return made;
}

int32_t Collect(HPROPSHEETPAGE page, intptr_t data) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(data)->push_back(page);
  return 1;
}

}  // namespace

void RegisterExtension(const std::filesystem::path& module) {
  RegistryStore::OpenMachineHive()->SetString(usbcamd::kCameraDriverKey, kExtensionValue, module.string());
}

bool UnregisterExtension() {
  return RegistryStore::OpenMachineHive()->DeleteValue(usbcamd::kCameraDriverKey, kExtensionValue);
}

std::optional<std::filesystem::path> RegisteredExtension() {
  const auto path = RegistryStore::OpenMachineHive()->GetString(usbcamd::kCameraDriverKey, kExtensionValue);
  if (!path || path->empty()) return std::nullopt;
  return std::filesystem::path(*path);
}

VideoSourceOutcome ShowVideoSourceDialog(HWND owner) {
  VideoSourceOutcome outcome;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  struct ComGone {
    bool initialised;
    ~ComGone() {
      if (initialised) CoUninitialize();
    }
  } comGone{SUCCEEDED(com)};
  std::vector<HPROPSHEETPAGE> pages;
  if (HPROPSHEETPAGE format = MakeFormatPage()) pages.push_back(format);
  const size_t ownPages = pages.size();

  void* library = nullptr;
  if (const auto module = RegisteredExtension()) library = dlopen(module->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library != nullptr) {
    if (auto extension = reinterpret_cast<Extension>(dlsym(library, "VFWWDMExtension"))) {
      outcome.extensionFlags = extension(nullptr, Collect, reinterpret_cast<intptr_t>(&pages));
      outcome.extensionPages = static_cast<int>(pages.size() - ownPages);
    }
  }
  // The mapper's control pages go after its format page, before the extension's.
  auto at = pages.begin() + static_cast<std::ptrdiff_t>(ownPages);
  if ((outcome.extensionFlags & kHideSettingsPage) == 0) {
    if (HPROPSHEETPAGE page = MakeControlPage(ControlPage::kVideoProcAmp)) at = pages.insert(at, page) + 1;
  }
  if ((outcome.extensionFlags & kHideCameraControlPage) == 0) {
    if (HPROPSHEETPAGE page = MakeControlPage(ControlPage::kCameraControl)) pages.insert(at, page);
  }
  if (pages.empty()) {
    if (library != nullptr) dlclose(library);
    return outcome;
  }
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.hwndParent = owner;
  header.pszCaption = "Video Source";
  header.nPages = static_cast<UINT>(pages.size());
  header.phpage = pages.data();
  outcome.pages = static_cast<int>(pages.size());
  outcome.result = PropertySheetA(&header);
  if (library != nullptr) dlclose(library);  // its pages went with the sheet
  return outcome;
}

}  // namespace ksv::platform::vfw
