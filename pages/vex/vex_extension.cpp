// OKSV1Vex: the settings pages offered to the video-capture driver mapper.
// The context and its pages are made when the library is loaded into a
// process (the application object's start-up), from the profile beside the
// library as the system sees it, and live until it is unloaded.
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "include/oksv1vex.h"
#include "pages/settings_context.h"
#include "pages/texts.h"
#include "platform/mfc/app.h"
#include "platform/module/module.h"
#include "platform/profile/profile.h"
#include "support/no_throw.h"

namespace ksv::pages {
namespace {

constexpr const char* kModuleName = "OKSV1Vex.DLL";

// `path` with its extension replaced by `extension`.
std::string WithExtension(const std::string& path, const char* extension) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
  return base + "." + extension;
}

// The profile's value, or nothing when it is absent or begins with "NULL".
std::optional<std::string> CameraValue(const std::string& profile, const char* key) {
  char text[257] = {};
  GetPrivateProfileStringA("USB_CAMERA", key, "NULL", text, sizeof text, profile.c_str());
  if (std::strncmp(text, "NULL", 4) == 0) return std::nullopt;
  return std::string(text);
}

class VexApp final : public mfc::CWinApp {
 public:
  BOOL InitInstance() override {
    return support::NoThrow<BOOL>(TRUE, [this] {
      char module[1024] = {};
      GetModuleFileNameA(platform::RegisterSystemModule(kModuleName), module, sizeof module);
      auto made = std::make_unique<SettingsContext>();
      made->modulePath = module;
      made->profilePath = WithExtension(module, "pro");
      made->host.localization = WithExtension(module, "loc");
      const auto device = CameraValue(made->profilePath, "DEVICE_NAME");
      const auto vidPid = CameraValue(made->profilePath, "VID_PID");
      if (!device || !vidPid) return TRUE;  // no camera named: nothing is offered
      CopyName(made->deviceName, device->c_str());
      CopyName(made->vidPid, vidPid->c_str());
      if (made->Open(kLibraryCalls)) context = std::move(made);
      return TRUE;
    });
  }
  int ExitInstance() override {
    context.reset();
    return 0;
  }

  std::unique_ptr<SettingsContext> context;
  std::string titles[3];
  void* mapperData = nullptr;
  intptr_t callbackData = 0;
};

KSV_IMPLEMENT_APP(VexApp, theApp)

}  // namespace
}  // namespace ksv::pages

extern "C" KSV_EXPORT uint32_t VFWWDMExtension(void* mapperData, VFW_ADD_PAGE addPage, intptr_t callbackData) {
  using ksv::pages::theApp;
  return ksv::support::NoThrow<uint32_t>(0, [&]() -> uint32_t {
    if (theApp.context == nullptr || addPage == nullptr) return 0;
    theApp.mapperData = mapperData;
    theApp.callbackData = callbackData;
    ksv::mfc::CPropertyPage* pages[3] = {theApp.context->device.get(), theApp.context->camera.get(),
                                          theApp.context->flicker.get()};
    for (int index = 0; index < 3; ++index) {
      theApp.titles[index] = ksv::pages::PageTitle(theApp.context->host.localization, index);
      PROPSHEETPAGEA& page = pages[index]->m_psp;
      page.dwFlags |= PSP_USETITLE | PSP_USEREFPARENT | PSP_USECALLBACK;
      page.pszTitle = theApp.titles[index].c_str();
      HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
      if (handle == nullptr) return 0;
      addPage(handle, callbackData);
    }
    return VFW_OEM_ADD_PAGE | VFW_HIDE_SETTINGS_PAGE | VFW_HIDE_CAMERACONTROL_PAGE;
  });
}
