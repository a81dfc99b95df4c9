// The settings pages in the scanner-interface host's dialog, on a streaming
// simulated camera, driven as a person would through the input seam: every
// property call the pages make is counted on its way to OKSV1If.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <tuple>

#include "outside/camprop/control_client.h"
#include "include/oksv1vex.h"
#include "pages/dep/settings_dialog.h"
#include "pages/page_templates.h"
#include "platform/files/files.h"
#include "platform/registry/registry_store.h"
#include "platform/ui/answerer.h"
#include "platform/ui/input.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/ui/surface.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/usbcamd/ks_guids.h"
#include "simcam/simulated_camera.h"
#include "testing/temp_files.h"

namespace ksv::pages {
namespace {

namespace ui = platform::ui;
namespace usb = platform::usbcamd;

// Calls by (set 'v' amplifier or 'c' camera control, number, 'r' range,
// 'g' get or 's' set). Backlight Comp (amplifier 8), which the driver does
// not declare, is made to look supported here, so that its row can be seen
// left alone.
std::map<std::tuple<char, int, char>, int> counted;
int32_t backlightSets = 0;

int32_t CountRange(char set, DS2WDM_HANDLE h, int32_t n, DS2WDM_RANGE* r) {
  ++counted[{set, n, 'r'}];
  if (set == 'v' && n == 8) {
    *r = DS2WDM_RANGE{0, 2, 1, 1, 0};
    return 0;
  }
  return set == 'v' ? DS2WDM_GetVideoProcAmpRange(h, n, r) : DS2WDM_GetCameraControlRange(h, n, r);
}
int32_t CountGet(char set, DS2WDM_HANDLE h, int32_t n, int32_t* v, int32_t* f) {
  ++counted[{set, n, 'g'}];
  if (set == 'v' && n == 8) {
    *v = 2;
    *f = DS2WDM_FLAGS_MANUAL;
    return 0;
  }
  return set == 'v' ? DS2WDM_GetVideoProcAmp(h, n, v, f) : DS2WDM_GetCameraControl(h, n, v, f);
}
int32_t CountSet(char set, DS2WDM_HANDLE h, int32_t n, int32_t v, int32_t f) {
  ++counted[{set, n, 's'}];
  if (set == 'v' && n == 8) return ++backlightSets, 0;
  return set == 'v' ? DS2WDM_SetVideoProcAmp(h, n, v, f) : DS2WDM_SetCameraControl(h, n, v, f);
}

constexpr PropertyCalls kCountingCalls = {
    DS2WDM_Init,
    DS2WDM_Reset,
    [](DS2WDM_HANDLE h, int32_t n, DS2WDM_RANGE* r) { return CountRange('v', h, n, r); },
    [](DS2WDM_HANDLE h, int32_t n, int32_t* v, int32_t* f) { return CountGet('v', h, n, v, f); },
    [](DS2WDM_HANDLE h, int32_t n, int32_t v, int32_t f) { return CountSet('v', h, n, v, f); },
    [](DS2WDM_HANDLE h, int32_t n, DS2WDM_RANGE* r) { return CountRange('c', h, n, r); },
    [](DS2WDM_HANDLE h, int32_t n, int32_t* v, int32_t* f) { return CountGet('c', h, n, v, f); },
    [](DS2WDM_HANDLE h, int32_t n, int32_t v, int32_t f) { return CountSet('c', h, n, v, f); },
    DS2WDM_Get_FLICKER,
    DS2WDM_Set_FLICKER,
};

class SettingsPages : public ::testing::Test {
 protected:
  SettingsPages() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    usb::RegisterCameraDriver({KSV_CAMERA_DRIVER_MODULE, "RMC900 USB Camera"});
    counted.clear();
    backlightSets = 0;
    std::string error;
    stack_ = usb::CameraStack::Start(camera_, &error);
    EXPECT_NE(stack_, nullptr) << error;
    std::vector<uint8_t> bytes;
    EXPECT_EQ(stack_->Intersect(*stack_->Ranges()[0], bytes), 0);
    usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
    std::memcpy(&format, bytes.data(), sizeof format);
    EXPECT_EQ(stack_->OpenStream(format), 0);
  }
  ~SettingsPages() override {
    ui::SetAnswerer({});
    stack_.reset();
    ::unsetenv("KSV_ROOT");
  }

  // Opens the pages with `act` as the person (given the container and its
  // sheet), who then closes the dialog with its close box, which cancels;
  // the localization file is "settings.loc" of the system folder.
  int32_t Open(std::function<void(HWND container, HWND sheet)> act) {
    ui::SetAnswerer([&](const ui::ModalElement& element) {
      act(element.window, GetDlgItem(element.window, 0));
      ui::answer::Settle(element.window);
      SendMessageA(element.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    return OpenSettingsDialog("RMC900 USB Camera", "VID_0000&PID_0000", "settings.loc", kCountingCalls);
  }

  outside::camprop::ControlState Control(const char* name) {
    outside::camprop::ControlClient client(stack_->Streams().StreamHeader,
                                           [this](bool isSet, const platform::kernel::GUID& set, uint32_t id,
                                                  std::span<const uint8_t> in, std::span<uint8_t> value) {
                                             return stack_->Property(isSet, set, id, in, value);
                                           });
    return client.Get(outside::camprop::FindControl(name));
  }

  // The mean luminance of a frame the camera sent after the buffered ones.
  double PictureLevel() {
    std::vector<uint8_t> frame(320 * 240 * 3 / 2);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(stack_->ReadFrame(frame).has_value());
    return std::accumulate(frame.begin(), frame.begin() + 320 * 240, 0.0) / (320 * 240);
  }

  void WriteLocalization(const std::string& text) {
    char system[260] = {};
    GetSystemDirectoryA(system, sizeof system);
    std::filesystem::create_directories(system);
    FILE* file = std::fopen((std::string(system) + "/settings.loc").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }

  testing::TempFolder root_;
  simcam::SimulatedCamera camera_;
  std::unique_ptr<usb::CameraStack> stack_;
};

std::string TextOf(HWND page, int id) {
  char text[64] = {};
  GetDlgItemTextA(page, id, text, sizeof text);
  return text;
}

TEST_F(SettingsPages, ASliderMoveChangesTheLivePictureAndCancelPutsItBack) {
  WriteLocalization("[LOCALIZE_STR]\nLOC_ID_Brightness=Helligkeit\n");
  const double before = PictureLevel();
  int32_t moved = 0;
  double brighter = 0;
  std::optional<uint32_t> kept;
  std::string brightnessLabel, contrastLabel;
  const int32_t opened = Open([&](HWND container, HWND sheet) {
    ASSERT_NE(sheet, nullptr);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    brightnessLabel = TextOf(page, 1180);
    contrastLabel = TextOf(page, 1181);
    // The person takes the thumb and presses Page Down: the slider moves up.
    ASSERT_TRUE(ui::input::Click(GetDlgItem(page, 1151)));
    ui::answer::Settle(container);
    ui::input::PressKey(VK_NEXT);
    ui::answer::Settle(container);
    moved = Control("brightness").value;
    EXPECT_EQ(TextOf(page, 1160), std::to_string(moved)) << "the value shown";
    brighter = PictureLevel();
    kept = platform::RegistryStore::OpenMachineHive()->GetDword("Software\\Tarvio\\KSV Drivers", "Brightness");
  });
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(brightnessLabel, "Helligkeit");
  EXPECT_EQ(contrastLabel, "Contrast") << "a key the file lacks shows the English text";
  EXPECT_GT(moved, 128) << "Page Down moves it up";
  EXPECT_GT(brighter, before + 10) << "the live picture shows it";
  EXPECT_EQ(kept, static_cast<uint32_t>(moved)) << "what `ksvcam controls get brightness` reads in a later run";
  EXPECT_EQ(Control("brightness").value, 128) << "Cancel put it back";
  EXPECT_NEAR(PictureLevel(), before, 3);
  EXPECT_EQ(stack_->IsStreaming(), true) << "the pages reached the running driver, never a second";
}

TEST_F(SettingsPages, SetDefaultAndARowTheDriverDoesNotDeclare) {
  {
    outside::camprop::ControlClient client(stack_->Streams().StreamHeader,
                                           [this](bool s, const platform::kernel::GUID& g, uint32_t id,
                                                  std::span<const uint8_t> in, std::span<uint8_t> v) {
                                             return stack_->Property(s, g, id, in, v);
                                           });
    client.Set(outside::camprop::FindControl("white-balance"), 4, false);
    client.Set(outside::camprop::FindControl("contrast"), 20);
  }
  WriteLocalization("");
  bool zoomLabelEnabled = true, zoomLabelGrey = false;
  RECT frame{}, sheetPlace{};
  outside::camprop::ControlState whiteBalance, contrast;
  Open([&](HWND container, HWND sheet) {
    ASSERT_NE(sheet, nullptr);
    GetWindowRect(GetDlgItem(container, kFrameId), &frame);
    GetWindowRect(sheet, &sheetPlace);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_TRUE(ui::input::Click(GetDlgItem(page, kSetDefaultId)));
    ui::answer::Settle(container);
    whiteBalance = Control("white-balance");
    contrast = Control("contrast");
    EXPECT_EQ(IsDlgButtonChecked(page, kWhiteBalanceAutoId), static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 1158))) << "White Balance's slider";

    HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    ASSERT_TRUE(ui::answer::ClickTab(container, tab, 1));
    ui::answer::Settle(container);
    HWND controls = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND zoomLabel = GetDlgItem(controls, 1193);
    zoomLabelEnabled = IsWindowEnabled(zoomLabel) != FALSE;
    // A person clicks the Zoom slider and its auto box: nothing reaches the camera.
    ui::input::Click(GetDlgItem(controls, 1200));
    ui::input::Click(GetDlgItem(controls, 1214));
    ui::answer::Settle(container);
    // The label is drawn in the grey of a disabled control.
    ASSERT_NE(ui::CreateSurface(container), nullptr);
    InvalidateRect(container, nullptr, TRUE);
    ui::answer::Settle(container);
    RECT label{};
    GetWindowRect(zoomLabel, &label);
    POINT origin{0, 0};
    ClientToScreen(container, &origin);
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    const ui::Surface::Pixels pixels = ui::SurfaceOf(container)->Lock();
    int greyPixels = 0;
    for (int y = label.top - origin.y; y < label.bottom - origin.y; ++y) {
      for (int x = label.left - origin.x; x < label.right - origin.x; ++x) {
        const uint8_t* p = pixels.row(y) + 3 * x;
        greyPixels += RGB(p[2], p[1], p[0]) == grey;
      }
    }
    zoomLabelGrey = greyPixels > 10;
  });
  EXPECT_EQ(sheetPlace.left, frame.left - 7);
  EXPECT_EQ(sheetPlace.top, frame.top - 7);
  EXPECT_TRUE(whiteBalance.automatic) << "Set Default puts White Balance in automatic mode";
  EXPECT_EQ(whiteBalance.value, 10);
  EXPECT_EQ(contrast.value, 0) << "its default";
  EXPECT_EQ(backlightSets, 0) << "Set Default leaves Backlight Comp alone";
  EXPECT_FALSE(zoomLabelEnabled);
  EXPECT_TRUE(zoomLabelGrey);
  EXPECT_EQ((counted[{'c', 3, 'r'}]), 1) << "Zoom's range is asked once";
  EXPECT_EQ((counted[{'c', 3, 'g'}]), 0) << "and Zoom never again";
  EXPECT_EQ((counted[{'c', 3, 's'}]), 0);
  EXPECT_EQ((counted[{'c', 4, 'g'}]), 1) << "Exposure, declared, is read";
}

// OKSV1Vex makes its pages when it is loaded, from the profile beside it in
// the system folder, and hands them to the mapper's callback.
TEST_F(SettingsPages, TheVideoCaptureExtensionOffersPagesOnlyForANamedCamera) {
  char system[260] = {};
  GetSystemDirectoryA(system, sizeof system);
  std::filesystem::create_directories(system);
  const std::string profile = std::string(system) + "/OKSV1Vex.pro";
  std::vector<HPROPSHEETPAGE> offered;
  const VFW_ADD_PAGE collect = [](HPROPSHEETPAGE page, intptr_t data) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(data)->push_back(page);
    return int32_t{1};
  };
  const auto offer = [&](const std::string& text) {
    FILE* file = std::fopen(profile.c_str(), "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    void* library = dlopen(KSV_VEX_MODULE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    const auto extension = reinterpret_cast<decltype(&VFWWDMExtension)>(dlsym(library, "VFWWDMExtension"));
    const uint32_t result = extension(nullptr, collect, reinterpret_cast<intptr_t>(&offered));
    std::vector<std::string> titles;
    if (!offered.empty()) {
      // The mapper shows them: a sheet of the three, titled as offered.
      PROPSHEETHEADERA header{};
      header.dwSize = sizeof header;
      header.dwFlags = PSH_MODELESS;
      header.pszCaption = "Video Source";
      header.nPages = static_cast<UINT>(offered.size());
      header.phpage = offered.data();
      HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
      HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
      for (size_t index = 0; index < offered.size(); ++index) {
        char title[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        item.cchTextMax = sizeof title;
        SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
        titles.push_back(title);
      }
      DestroyWindow(sheet);
    }
    offered.clear();
    dlclose(library);
    return std::pair{result, titles};
  };
  EXPECT_EQ(offer("[USB_CAMERA]\nDEVICE_NAME=NULL\nVID_PID=VID_0000&PID_0000\n").first, 0u);
  EXPECT_EQ(offer("[USB_CAMERA]\nVID_PID=VID_0000&PID_0000\n").first, 0u) << "DEVICE_NAME absent";
  const auto [result, titles] = offer("[USB_CAMERA]\nDEVICE_NAME=RMC900 USB Camera\nVID_PID=VID_0000&PID_0000\n");
  EXPECT_EQ(result, 0x80000005u);
  EXPECT_EQ(titles, (std::vector<std::string>{"Device Settings", "Camera Controls", "Anti Flicker"}));
}

}  // namespace
}  // namespace ksv::pages
