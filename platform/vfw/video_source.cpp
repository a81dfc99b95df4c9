#include "platform/vfw/video_source.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "platform/registry/registry_store.h"
#include "platform/ui/dialogs/dialog_template.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::platform::vfw {
namespace {

using AddPage = int32_t (*)(HPROPSHEETPAGE, intptr_t);
using Extension = uint32_t (*)(void*, AddPage, intptr_t);

constexpr int kFormatsId = 100;

// "I420 320 x 240" a line, for the formats of the camera this process runs.
std::string FormatLines() {
  std::string lines;
  usbcamd::CameraStack::UseHosted(usbcamd::CameraStack::HostedSerial(), [&](usbcamd::CameraStack& stack) {
    for (const usbcamd::KS_DATARANGE_VIDEO* range : stack.Ranges()) {
      const auto& header = range->VideoInfoHeader.bmiHeader;
      std::string code = "RGB";
      if (header.biCompression != 0) {
        code.clear();
        for (int shift = 0; shift < 32; shift += 8) code += static_cast<char>((header.biCompression >> shift) & 0xFF);
      }
      lines += code + " " + std::to_string(header.biWidth) + " x " + std::to_string(header.biHeight) + "\n";
    }
  });
  return lines.empty() ? "No camera is running." : lines;
}

INT_PTR FormatPageProcedure(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto* text = reinterpret_cast<const std::string*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
  SetDlgItemTextA(page, kFormatsId, text->c_str());
  return TRUE;
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
  const std::string formats = FormatLines();
  ui::DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 200, 120, "Video Format");
  builder.Font(8, "MS Sans Serif").Label("", kFormatsId, 10, 10, 180, 100);
  const ui::DialogTemplate formatTemplate = builder.Build();
  PROPSHEETPAGEA formatPage{};
  formatPage.dwSize = sizeof formatPage;
  formatPage.dwFlags = PSP_DLGINDIRECT;
  formatPage.pResource = formatTemplate.get();
  formatPage.pfnDlgProc = FormatPageProcedure;
  formatPage.lParam = reinterpret_cast<LPARAM>(&formats);
  std::vector<HPROPSHEETPAGE> pages{CreatePropertySheetPageA(&formatPage)};
  if (pages[0] == nullptr) return outcome;

  void* library = nullptr;
  if (const auto module = RegisteredExtension()) library = dlopen(module->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library != nullptr) {
    if (auto extension = reinterpret_cast<Extension>(dlsym(library, "VFWWDMExtension"))) {
      outcome.extensionFlags = extension(nullptr, Collect, reinterpret_cast<intptr_t>(&pages));
      outcome.extensionPages = static_cast<int>(pages.size()) - 1;
    }
  }
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.hwndParent = owner;
  header.pszCaption = "Video Source";
  header.nPages = static_cast<UINT>(pages.size());
  header.phpage = pages.data();
  outcome.result = PropertySheetA(&header);
  if (library != nullptr) dlclose(library);  // its pages went with the sheet
  return outcome;
}

}  // namespace ksv::platform::vfw
