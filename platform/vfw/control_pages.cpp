#include "platform/vfw/control_pages.h"

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "platform/ui/dialogs/dialog_template.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"
#include "platform/usbcamd/property_layout.h"

namespace ksv::platform::vfw {
namespace {

namespace usb = usbcamd;
namespace layout = usbcamd::property_layout;

constexpr int kListId = 100;

struct PageKind {
  const char* title;
  const usb::GUID* set;
  std::span<const char* const> names;  // by property id
};

constexpr std::array kAmpNames = {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness",
                                  "Gamma", "Color Enable", "White Balance", "Backlight Comp"};
constexpr std::array kCameraNames = {"Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};

const PageKind kKinds[] = {
    {"Video Proc Amp", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, kAmpNames},
    {"Camera Control", &usb::PROPSETID_VIDCAP_CAMERACONTROL, kCameraNames},
};

// The declared properties of the kind's set with the driver's values.
std::string Lines(const PageKind& kind) {
  std::string lines;
  const bool running = usb::CameraStack::UseHosted(usb::CameraStack::HostedSerial(), [&](usb::CameraStack& stack) {
    for (uint32_t id = 0; id < kind.names.size(); ++id) {
      if (usb::FindPropertyItem(stack.Streams().StreamHeader, *kind.set, id) == nullptr) continue;
      std::array<uint8_t, layout::control_value::kSize> request{}, value{};
      std::memcpy(request.data(), kind.set, sizeof(usb::GUID));
      std::memcpy(request.data() + 16, &id, 4);
      std::memcpy(request.data() + 20, &usb::KSPROPERTY_TYPE_GET, 4);
      const usb::PropertyAnswer answer = stack.Property(false, *kind.set, id, request, value);
      std::string line = kind.names[id];
      if (kernel::NT_SUCCESS(answer.status) && answer.bytesTransferred >= layout::control_value::kSize) {
        int32_t reading = 0;
        uint32_t flags = 0;
        std::memcpy(&reading, value.data() + layout::control_value::kValue, 4);
        std::memcpy(&flags, value.data() + layout::control_value::kFlags, 4);
        line += " " + std::to_string(reading);
        if ((flags & layout::kFlagsAuto) != 0) line += " (automatic)";
      } else {
        line += ": the driver does not answer";
      }
      lines += line + "\n";
    }
  });
  if (!running) return "No camera is running.";
  return lines.empty() ? "The camera has none of these controls." : lines;
}

INT_PTR PageProcedure(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto* kind = reinterpret_cast<const PageKind*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
  SetDlgItemTextA(page, kListId, Lines(*kind).c_str());
  return TRUE;
}

}  // namespace

HPROPSHEETPAGE MakeControlPage(ControlPage which) {
  const PageKind& kind = kKinds[static_cast<int>(which)];
  ui::DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 220, 120, kind.title);
  builder.Font(8, "MS Sans Serif").Label("", kListId, 6, 6, 208, 108);
  const ui::DialogTemplate dialog = builder.Build();
  PROPSHEETPAGEA page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_DLGINDIRECT;
  page.pResource = dialog.get();
  page.pfnDlgProc = PageProcedure;
  page.lParam = reinterpret_cast<LPARAM>(&kind);
  return CreatePropertySheetPageA(&page);  // copies the template
}

}  // namespace ksv::platform::vfw
