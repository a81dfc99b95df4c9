// The framework's classes as the settings pages use them: an application
// object tied to its library's life, a sheet made a child of a dialog and
// driven by a person's clicks, and modal dialogs and sheets answered by a
// script.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mfc/app.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/property_sheet.h"
#include "platform/ui/answerer.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/dialog_test_support.h"
#include "testing/temp_files.h"

namespace {

using namespace ksv::mfc;
using namespace ksv::platform::ui;
using ksv::platform::ui::testing::PumpDialog;

enum : int { kSlider = 10, kValue = 11, kAuto = 12, kHeading = 13, kFifty = 14, kSixty = 15, kName = 16, kFrame = 1000 };

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(FrameworkApp, RunsItsInitialisationAtLoadAndItsExitAtUnload) {
  ksv::testing::TempFolder folder;
  const std::filesystem::path log = folder / "app.log";
  setenv("KSV_MFC_APP_LOG", log.c_str(), 1);
  void* library = dlopen(KSV_MFC_TEST_APP, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const std::string library_path = KSV_MFC_TEST_APP;
  EXPECT_EQ(ReadAll(log), "init " + library_path + "\n") << "the module is the library's own file";
  ASSERT_EQ(dlclose(library), 0);
  EXPECT_EQ(ReadAll(log), "init " + library_path + "\nexit " + library_path + "\n");
  unsetenv("KSV_MFC_APP_LOG");
}

DialogTemplate SliderPageTemplate() {
  DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 160, 70, "Device Settings");
  builder.Font(8, "MS Sans Serif")
      .Label("Brightness", kHeading, 4, 6, 40, 8)
      .Trackbar(kSlider, 46, 4, 80, 14, WS_TABSTOP)
      .Label("", kValue, 130, 6, 24, 8)
      .CheckBox("Auto", kAuto, 4, 30, 60, 10, BS_AUTOCHECKBOX | WS_TABSTOP);
  return builder.Build();
}

DialogTemplate FlickerPageTemplate() {
  DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 160, 70, "Anti Flicker");
  builder.Font(8, "MS Sans Serif")
      .RadioButton("50 Hz", kFifty, 10, 14, 60, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP)
      .RadioButton("60 Hz", kSixty, 10, 26, 60, 10, BS_AUTORADIOBUTTON);
  return builder.Build();
}

// A slider page as the settings pages are written: the slider's moves
// are shown as a number, the auto box noted, Cancel noted.
class SliderPage : public CPropertyPage {
 public:
  explicit SliderPage(const DLGTEMPLATE* pageTemplate) : CPropertyPage(pageTemplate) {}
  BOOL OnInitDialog() override {
    slider_.m_hWnd = GetDlgItem(kSlider)->m_hWnd;
    auto_.m_hWnd = GetDlgItem(kAuto)->m_hWnd;
    LOGFONTA face{};
    SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof face, &face, 0);
    font_.CreateFontIndirect(&face);
    GetDlgItem(kHeading)->SetFont(&font_);
    slider_.SetRange(-10, 50);
    slider_.SetPos(0);
    SetDlgItemText(kValue, "0");
    return TRUE;
  }
  void OnHScroll(UINT code, UINT, CWnd* bar) override {
    if (bar == nullptr || bar->m_hWnd != slider_.m_hWnd || code == TB_ENDTRACK) return;
    positions.push_back(slider_.GetPos());
    SetDlgItemText(kValue, std::to_string(positions.back()).c_str());
  }
  BOOL OnCommand(int id, int code) override {
    if (id != kAuto || code != BN_CLICKED) return FALSE;
    autoChecks.push_back(auto_.GetCheck());
    return TRUE;
  }
  void OnCancel() override { ++cancels; }
  BOOL OnApply() override {
    ++applies;
    return TRUE;
  }

  std::vector<int> positions;
  std::vector<int> autoChecks;
  int cancels = 0;
  int applies = 0;

 private:
  CSliderCtrl slider_;
  CButton auto_;
  CFont font_;
};

class FlickerPage : public CPropertyPage {
 public:
  explicit FlickerPage(const DLGTEMPLATE* pageTemplate) : CPropertyPage(pageTemplate) {}
  BOOL OnSetActive() override {
    ++activations;
    return TRUE;
  }
  BOOL OnCommand(int id, int code) override {
    if (code != BN_CLICKED) return FALSE;
    clicked.push_back(id);
    return TRUE;
  }
  BOOL OnApply() override {
    ++applies;
    return TRUE;
  }
  int activations = 0;
  int applies = 0;
  std::vector<int> clicked;
};

// The settings container: on initialisation the sheet is made a child,
// loses its tab stop and control-parent styles, and sits on the frame's
// place shifted by -7, -7.
class Container : public CDialog {
 public:
  Container(SliderPage& slider, FlickerPage& flicker) : sheet(""), slider_(slider), flicker_(flicker) {}
  BOOL OnInitDialog() override {
    sheet.AddPage(&slider_);
    sheet.AddPage(&flicker_);
    if (!sheet.Create(this, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0)) return TRUE;
    sheet.ModifyStyleEx(WS_EX_CONTROLPARENT, 0);
    sheet.ModifyStyle(WS_TABSTOP, 0);
    RECT frame{};
    GetDlgItem(kFrame)->GetWindowRect(&frame);
    ScreenToClient(&frame);
    GetDlgItem(kFrame)->ShowWindow(SW_HIDE);
    sheet.SetWindowPos(nullptr, frame.left - 7, frame.top - 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
  }
  CPropertySheet sheet;

 private:
  SliderPage& slider_;
  FlickerPage& flicker_;
};

TEST(FrameworkSheet, AChildSheetInADialogIsDrivenByAPerson) {
  const DialogTemplate sliderTemplate = SliderPageTemplate();
  const DialogTemplate flickerTemplate = FlickerPageTemplate();
  DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, 252, 196, "Settings");
  builder.Font(8, "MS Sans Serif").Label("", kFrame, 10, 10, 230, 170);
  const DialogTemplate containerTemplate = builder.Build();
  SliderPage slider(sliderTemplate.get());
  FlickerPage flicker(flickerTemplate.get());
  Container container(slider, flicker);
  ASSERT_TRUE(container.CreateIndirect(containerTemplate.get()));
  ASSERT_NE(container.sheet.m_hWnd, nullptr);
  HWND sheet = container.sheet.m_hWnd;
  EXPECT_EQ(GetParent(sheet), container.m_hWnd);
  EXPECT_EQ(container.sheet.GetStyle() & (WS_CHILD | WS_TABSTOP | WS_CAPTION), WS_CHILD);
  EXPECT_EQ(container.sheet.GetExStyle() & WS_EX_CONTROLPARENT, 0u);
  RECT frame{}, placed{};
  GetWindowRect(GetDlgItem(container.m_hWnd, kFrame), &frame);
  container.sheet.GetWindowRect(&placed);
  EXPECT_EQ(placed.left, frame.left - 7);
  EXPECT_EQ(placed.top, frame.top - 7);

  ASSERT_NE(slider.m_hWnd, nullptr) << "the first page is shown";
  ASSERT_TRUE(input::Click(GetDlgItem(slider.m_hWnd, kSlider)));
  PumpDialog(container.m_hWnd);
  ASSERT_FALSE(slider.positions.empty()) << "a click beside the thumb moves the slider";
  const int position = slider.positions.back();
  EXPECT_GT(position, 0);
  char shown[16] = {};
  GetDlgItemTextA(slider.m_hWnd, kValue, shown, sizeof shown);
  EXPECT_EQ(std::string(shown), std::to_string(position));
  ASSERT_TRUE(input::Click(GetDlgItem(slider.m_hWnd, kAuto)));
  PumpDialog(container.m_hWnd);
  EXPECT_EQ(slider.autoChecks, std::vector<int>{BST_CHECKED});

  ASSERT_TRUE(answer::ClickTab(container.m_hWnd, container.sheet.GetTabControl()->m_hWnd, 1));
  PumpDialog(container.m_hWnd);
  ASSERT_NE(flicker.m_hWnd, nullptr) << "the second tab's page is made";
  EXPECT_EQ(flicker.activations, 1);
  ASSERT_TRUE(input::Click(GetDlgItem(flicker.m_hWnd, kSixty)));
  PumpDialog(container.m_hWnd);
  EXPECT_EQ(flicker.clicked, std::vector<int>{kSixty});
  if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) {
    CreateSurface(container.m_hWnd);
    InvalidateRect(container.m_hWnd, nullptr, TRUE);
    PumpDialog(container.m_hWnd);
    SaveSurfacePng(container.m_hWnd, std::string(keep) + ".framework-sheet.png");
  }
  ASSERT_TRUE(input::Click(GetDlgItem(sheet, IDCANCEL)));
  PumpDialog(container.m_hWnd);
  EXPECT_EQ(slider.cancels, 1) << "Cancel reaches every page made";
  EXPECT_EQ(slider.applies, 0);
  container.DestroyWindow();
  EXPECT_FALSE(IsWindow(sheet));
}

// A dialog that shows a name and reads it back on OK.
class NameDialog : public CDialog {
 public:
  BOOL OnInitDialog() override {
    SetDlgItemText(kName, "KSV Camera");
    return TRUE;
  }
  void OnOK() override {
    char text[64] = {};
    GetDlgItemTextA(m_hWnd, kName, text, sizeof text);
    name = text;
    CDialog::OnOK();
  }
  std::string name;
};

TEST(FrameworkModal, AScriptAnswersADialogAndASheet) {
  std::vector<ModalElement> seen;
  std::string shownName;
  SetAnswerer([&](const ModalElement& element) {
    seen.push_back(element);
    if (element.kind == ModalKind::Dialog) {
      char text[64] = {};
      GetDlgItemTextA(element.window, kName, text, sizeof text);
      shownName = text;
      answer::TypeInto(element.window, kName, "Orvan");
      answer::PressButton(element.window, IDOK);
    } else {
      HWND tab = reinterpret_cast<HWND>(SendMessageA(element.window, PSM_GETTABCONTROL, 0, 0));
      answer::ClickTab(element.window, tab, 1);
      answer::PressButton(element.window, IDOK);
    }
  });
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 0, 160, 60, "Name");
  builder.Font(8, "MS Sans Serif")
      .EditText(kName, 4, 4, 120, 12, WS_TABSTOP)
      .DefPushButton("OK", IDOK, 4, 40, 50, 14, WS_TABSTOP)
      .PushButton("Cancel", IDCANCEL, 60, 40, 50, 14, WS_TABSTOP);
  const DialogTemplate nameTemplate = builder.Build();
  NameDialog dialog;
  dialog.InitModalIndirect(nameTemplate.get());
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(shownName, "KSV Camera");
  EXPECT_EQ(dialog.name, "Orvan");

  const DialogTemplate sliderTemplate = SliderPageTemplate();
  const DialogTemplate flickerTemplate = FlickerPageTemplate();
  SliderPage slider(sliderTemplate.get());
  FlickerPage flicker(flickerTemplate.get());
  CPropertySheet sheet("Camera");
  sheet.AddPage(&slider);
  sheet.AddPage(&flicker);
  EXPECT_EQ(sheet.DoModal(), 1);
  EXPECT_EQ(flicker.activations, 1);
  EXPECT_EQ(slider.applies, 1);
  EXPECT_EQ(flicker.applies, 1);
  SetAnswerer({});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].kind, ModalKind::PropertySheet);
  EXPECT_EQ(seen[1].title, "Camera");
}

}  // namespace
