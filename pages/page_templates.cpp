#include "pages/page_templates.h"

#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::pages {
namespace {

using platform::ui::DialogTemplate;
using platform::ui::DialogTemplateBuilder;

constexpr RowSpec kDeviceRows[] = {
    {0, 1151, 1160, 1169, 1180, "LOC_ID_Brightness", "Brightness"},
    {1, 1152, 1161, 1170, 1181, "LOC_ID_Contrast", "Contrast"},
    {2, 1153, 1162, 1171, 1182, "LOC_ID_Hue", "Hue"},
    {3, 1154, 1163, 1172, 1183, "LOC_ID_Saturation", "Saturation"},
    {4, 1155, 1164, 1173, 1184, "LOC_ID_Sharpness", "Sharpness"},
    {5, 1156, 1165, 1174, 1185, "LOC_ID_Gamma", "Gamma"},
    {6, 0, 0, 0, 0, "LOC_ID_ColorEnable", "Color Enable"},
    {7, 1158, 1167, 1176, 1187, "LOC_ID_WhiteBalance", "White Balance"},
    {8, 1159, 1168, 1177, 1188, "LOC_ID_BacklightCompensation", "Backlight Comp"},
};

constexpr RowSpec kCameraRows[] = {
    {0, 1197, 1204, 1211, 1190, "LOC_ID_Pan", "Pan"},
    {1, 1198, 1205, 1212, 1191, "LOC_ID_Tilt", "Tilt"},
    {2, 1199, 1206, 1213, 1192, "LOC_ID_Roll", "Roll"},
    {3, 1200, 1207, 1214, 1193, "LOC_ID_Zoom", "Zoom"},
    {4, 1201, 1208, 1215, 1194, "LOC_ID_Exposure", "Exposure"},
    {5, 1202, 1209, 1216, 1195, "LOC_ID_Iris", "Iris"},
    {6, 1203, 1210, 1217, 1196, "LOC_ID_Focus", "Focus"},
};

constexpr DWORD kPageStyle = WS_CHILD | DS_CONTROL;
constexpr int kFirstRowY = 22;
constexpr int kRowPitch = 18;

DialogTemplate SliderTemplate(int width, int height, const char* title, std::span<const RowSpec> rows) {
  DialogTemplateBuilder builder(kPageStyle, 0, 0, width, height, title);
  builder.Font(8, "MS Sans Serif")
      .Label("Value", kValueHeadingId, width - 74, 8, 30, 8)
      .Label("Auto", kAutoHeadingId, width - 36, 8, 26, 8);
  int y = kFirstRowY;
  for (const RowSpec& row : rows) {
    if (row.slider == 0) continue;
    builder.Label(row.english, row.label, 8, y + 3, 60, 8)
        .Trackbar(row.slider, 70, y, width - 150, 14, WS_TABSTOP | WS_DISABLED)
        .Label("0", row.value, width - 74, y + 3, 30, 8)
        .CheckBox("", row.autoBox, width - 32, y + 2, 12, 10, BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED);
    y += kRowPitch;
  }
  if (rows.data() == kDeviceRows) builder.PushButton("Set Default", kSetDefaultId, 8, height - 22, 64, 14, WS_TABSTOP);
  return builder.Build();
}

}  // namespace

std::span<const RowSpec> DeviceSettingsRows() { return kDeviceRows; }
std::span<const RowSpec> CameraControlRows() { return kCameraRows; }

const DLGTEMPLATE* DeviceSettingsTemplate() {
  static const DialogTemplate made = SliderTemplate(252, 182, "Device Settings", kDeviceRows);
  return made.get();
}

const DLGTEMPLATE* CameraControlsTemplate() {
  static const DialogTemplate made = SliderTemplate(248, 180, "Camera Controls", kCameraRows);
  return made.get();
}

const DLGTEMPLATE* AntiFlickerTemplate() {
  static const DialogTemplate made = [] {
    DialogTemplateBuilder builder(kPageStyle, 0, 0, 186, 82, "Anti Flicker");
    builder.Font(8, "MS Sans Serif")
        .GroupBox("Anti Flicker", kFlickerGroupId, 10, 10, 166, 58)
        .RadioButton("50 Hz", kFiftyHzId, 24, 28, 80, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP)
        .RadioButton("60 Hz", kSixtyHzId, 24, 46, 80, 10, BS_AUTORADIOBUTTON);
    return builder.Build();
  }();
  return made.get();
}

const DLGTEMPLATE* ContainerTemplate() {
  static const DialogTemplate made = [] {
    DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 252, 196,
                                  "Camera Settings");
    builder.Font(8, "MS Sans Serif").Label("", kFrameId, 7, 7, 238, 182);
    return builder.Build();
  }();
  return made.get();
}

}  // namespace ksv::pages
