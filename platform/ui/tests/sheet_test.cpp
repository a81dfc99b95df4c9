// Property sheets driven as a person would (through the input seam): three
// pages from templates, modal and modeless, and a sheet that sits in a
// frame of another dialog; and how the controls draw.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/module/module.h"
#include "platform/ui/answerer.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/dialog_test_support.h"
#include "testing/temp_files.h"

namespace {

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::testing;

enum : int { kSlider = 10, kAuto = 11, kFifty = 12, kSixty = 13, kFrame = 1000 };

// What one page saw, on its dialog's thread.
struct PageRecord {
  std::mutex mutex;
  HWND window = nullptr;
  int scrolls = 0;             // WM_HSCROLL from its trackbar
  std::vector<int> clicked;    // BN_CLICKED, by control
  std::vector<UINT> notified;  // PSN_* codes
  int Count(UINT code) {
    std::lock_guard guard(mutex);
    int count = 0;
    for (UINT seen : notified) count += seen == code ? 1 : 0;
    return count;
  }
};

INT_PTR PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* record = reinterpret_cast<PageRecord*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
    std::lock_guard guard(record->mutex);
    record->window = page;
    return TRUE;
  }
  auto* record = reinterpret_cast<PageRecord*>(GetWindowLongPtrA(page, DWLP_USER));
  if (record == nullptr) return FALSE;
  std::lock_guard guard(record->mutex);
  switch (message) {
    case WM_HSCROLL: ++record->scrolls; return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) record->clicked.push_back(LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY: record->notified.push_back(reinterpret_cast<NMHDR*>(lParam)->code); return TRUE;
    default: return FALSE;
  }
}

// Page 0: a slider and an auto box; page 1: an auto box; page 2: a radio pair.
DialogTemplate PageTemplate(int index) {
  DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 160, 70, "unused");
  builder.Font(8, "MS Sans Serif");
  if (index == 0) {
    builder.Label("Brightness", 1, 4, 6, 40, 8).Trackbar(kSlider, 46, 4, 80, 14, WS_TABSTOP);
  }
  if (index <= 1) builder.CheckBox("Auto", kAuto, 4, 30, 60, 10, BS_AUTOCHECKBOX | WS_TABSTOP);
  if (index == 2) {
    builder.GroupBox("Anti Flicker", 2, 4, 4, 120, 40)
        .RadioButton("50 Hz", kFifty, 10, 14, 60, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP)
        .RadioButton("60 Hz", kSixty, 10, 26, 60, 10, BS_AUTORADIOBUTTON);
  }
  return builder.Build();
}

std::atomic<int> pageHandles{0};
UINT PageCallback(HWND, UINT message, PROPSHEETPAGEA*) {
  if (message == PSPCB_ADDREF) ++pageHandles;
  if (message == PSPCB_RELEASE) --pageHandles;
  return 1;
}

struct ThreePages {
  DialogTemplate templates[3] = {PageTemplate(0), PageTemplate(1), PageTemplate(2)};
  PageRecord records[3];
  UINT references = 0;
  PROPSHEETPAGEA pages[3]{};
  const char* titles[3] = {"Device Settings", "Camera Controls", "Anti Flicker"};
  ThreePages() {
    for (int index = 0; index < 3; ++index) {
      PROPSHEETPAGEA& page = pages[index];
      page.dwSize = sizeof page;
      page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE | PSP_USEREFPARENT | PSP_USECALLBACK;
      page.pResource = templates[index].get();
      page.pszTitle = titles[index];
      page.pfnDlgProc = PageProcedure;
      page.lParam = reinterpret_cast<LPARAM>(&records[index]);
      page.pfnCallback = PageCallback;
      page.pcRefParent = &references;
    }
  }
};

std::atomic<HWND> madeSheet{nullptr};
int RememberSheet(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) madeSheet = sheet;
  return 0;
}

PROPSHEETHEADERA Header(ThreePages& three, DWORD flags) {
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | flags;
  header.pszCaption = "Camera";
  header.nPages = 3;
  header.ppsp = three.pages;
  header.pfnCallback = RememberSheet;
  return header;
}

// A click on tab `index` of the sheet's tab control.
bool ClickTab(HWND sheet, int index) {
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  RECT item{}, place{}, self{};
  if (SendMessageA(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) == FALSE) return false;
  GetWindowRect(tab, &place);
  GetWindowRect(sheet, &self);
  return input::ClickAt(sheet, place.left - self.left + (item.left + item.right) / 2,
                        place.top - self.top + (item.top + item.bottom) / 2);
}

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

// A person moves the slider (a click beside the thumb, then a key), ticks
// the box, goes to the other pages, picks 60 Hz, and cancels. Runs on a
// thread of its own while the sheet's thread takes the input.
void Drive(HWND sheet, ThreePages& three, std::atomic<bool>& done) {
  struct Finally {
    std::atomic<bool>& done;
    ~Finally() { done = true; }
  } finally{done};
  ASSERT_TRUE(WaitFor([&] { return CurrentPage(sheet) != nullptr; }));
  HWND first = CurrentPage(sheet);
  HWND slider = GetDlgItem(first, kSlider);
  ASSERT_TRUE(input::Click(slider));
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == slider; }));
  input::PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(slider, TBM_GETPOS, 0, 0) == 21; })) << "a page, then a line";
  ASSERT_TRUE(input::Click(GetDlgItem(first, kAuto)));
  ASSERT_TRUE(WaitFor([&] { return IsDlgButtonChecked(first, kAuto) == BST_CHECKED; }));
  ASSERT_TRUE(ClickTab(sheet, 1));
  ASSERT_TRUE(WaitFor([&] { return CurrentPage(sheet) != first && CurrentPage(sheet) != nullptr; }));
  EXPECT_FALSE(IsWindowVisible(first)) << "the page left is hidden";
  ASSERT_TRUE(input::Click(GetDlgItem(CurrentPage(sheet), kAuto)));
  ASSERT_TRUE(WaitFor([&] { return IsDlgButtonChecked(CurrentPage(sheet), kAuto) == BST_CHECKED; }));
  ASSERT_TRUE(ClickTab(sheet, 2));
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(CurrentPage(sheet), kSixty) != nullptr; }));
  ASSERT_TRUE(input::Click(GetDlgItem(CurrentPage(sheet), kSixty)));
  ASSERT_TRUE(WaitFor([&] { return IsDlgButtonChecked(CurrentPage(sheet), kSixty); }));
  ASSERT_TRUE(input::Click(GetDlgItem(sheet, IDCANCEL)));
  ASSERT_TRUE(WaitFor([&] { return three.records[2].Count(PSN_RESET) == 1; }));
}

// Each page saw what the platform sends it for the person's actions above.
void ExpectDriven(ThreePages& three) {
  EXPECT_EQ(three.records[0].scrolls, 4) << "TB_PAGEDOWN and TB_LINEDOWN, each with its TB_ENDTRACK";
  EXPECT_EQ(three.records[0].clicked, std::vector<int>{kAuto});
  EXPECT_EQ(three.records[1].clicked, std::vector<int>{kAuto});
  EXPECT_EQ(three.records[2].clicked, std::vector<int>{kSixty});
  for (PageRecord& record : three.records) {
    EXPECT_EQ(record.Count(PSN_SETACTIVE), 1);
    EXPECT_EQ(record.Count(PSN_RESET), 1);
    EXPECT_EQ(record.Count(PSN_APPLY), 0);
  }
  EXPECT_EQ(three.records[0].Count(PSN_KILLACTIVE), 1);
  EXPECT_EQ(three.records[2].Count(PSN_QUERYCANCEL), 1);
}

void KeepScreenshot(HWND window, const char* name) {
  if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) SaveSurfacePng(window, std::string(keep) + "." + name + ".png");
}

TEST(PropertySheetThreads, AModelessSheetOfThreePagesIsDrivenAndCancelled) {
  ThreePages three;
  madeSheet = nullptr;
  PROPSHEETHEADERA header = Header(three, PSH_MODELESS);
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(madeSheet.load(), sheet);
  EXPECT_EQ(three.references, 3u) << "each page handle counts on its parent";
  EXPECT_EQ(pageHandles.load(), 3);
  ASSERT_NE(CreateSurface(sheet), nullptr);
  InvalidateRect(sheet, nullptr, TRUE);
  PumpDialog(sheet);
  KeepScreenshot(sheet, "modeless-sheet");

  // A page's change makes Apply available.
  SendMessageA(sheet, PSM_CHANGED, reinterpret_cast<WPARAM>(CurrentPage(sheet)), 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet, ID_APPLY_NOW)));

  std::atomic<bool> done{false};
  std::thread person([&] { Drive(sheet, three, done); });
  while (!done) {
    PumpDialog(sheet);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  person.join();
  PumpDialog(sheet);
  ExpectDriven(three);
  EXPECT_EQ(CurrentPage(sheet), nullptr) << "a closed modeless sheet says so; its owner destroys it";
  KeepScreenshot(sheet, "modeless-sheet-closed");
  DestroyWindow(sheet);
  EXPECT_EQ(three.references, 0u);
  EXPECT_EQ(pageHandles.load(), 0);
}

TEST(PropertySheetThreads, AModalSheetRunsItsOwnLoopAndReturnsZeroOnCancel) {
  SetAnswerer([](const ModalElement&) {});  // the person acts from another thread
  ThreePages three;
  madeSheet = nullptr;
  PROPSHEETHEADERA header = Header(three, 0);
  std::atomic<bool> done{false};
  std::thread person([&] {
    ASSERT_TRUE(WaitFor([&] { return madeSheet.load() != nullptr; }));
    Drive(madeSheet, three, done);
  });
  const INT_PTR result = PropertySheetA(&header);
  person.join();
  SetAnswerer({});
  EXPECT_EQ(result, 0);
  ExpectDriven(three);
  EXPECT_FALSE(IsWindow(madeSheet));
  EXPECT_EQ(three.references, 0u);
}

// With nobody to answer it (no answerer, no display), a modal sheet is
// cancelled at once: the pages hear the cancel, and stderr says why.
TEST(PropertySheet, WithNobodyToAnswerAModalSheetIsCancelledAtOnce) {
  ASSERT_FALSE(HasAnswerer());
  ThreePages three;
  PROPSHEETHEADERA header = Header(three, 0);
  ::testing::internal::CaptureStderr();
  const INT_PTR result = PropertySheetA(&header);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(three.records[0].Count(PSN_RESET), 1);
  EXPECT_NE(said.find("Camera: nobody can answer it"), std::string::npos) << said;
  EXPECT_EQ(three.references, 0u);
}

// OK applies every page made (and only those); a page that says its values
// are not valid keeps the sheet open.
TEST(PropertySheet, OkAppliesThePagesMadeAndAnInvalidPageKeepsTheSheet) {
  ThreePages three;
  PROPSHEETHEADERA header = Header(three, PSH_MODELESS | PSH_NOAPPLYNOW);
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(GetDlgItem(sheet, ID_APPLY_NOW), nullptr);
  ASSERT_TRUE(SendMessageA(sheet, PSM_SETCURSEL, 2, 0));
  SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  EXPECT_EQ(three.records[0].Count(PSN_APPLY), 1);
  EXPECT_EQ(three.records[1].Count(PSN_APPLY), 0) << "never shown, never made";
  EXPECT_EQ(three.records[2].Count(PSN_APPLY), 1);
  EXPECT_EQ(CurrentPage(sheet), nullptr);
  DestroyWindow(sheet);

  // A page template that is not one fails the sheet, and no page is left.
  ThreePages broken;
  broken.pages[1].pResource = reinterpret_cast<const DLGTEMPLATE*>(&broken);
  PROPSHEETHEADERA bad = Header(broken, PSH_MODELESS);
  EXPECT_EQ(PropertySheetA(&bad), -1);
  EXPECT_EQ(broken.references, 0u);

  // A page from the test program's dialog resource; one it lacks fails.
  PROPSHEETPAGEA fromResource = broken.pages[0];
  fromResource.dwFlags &= ~PSP_DLGINDIRECT;
  fromResource.dwFlags |= PSP_USEREFPARENT;
  fromResource.hInstance = GetModuleHandleA(nullptr);
  fromResource.pszTemplate = MAKEINTRESOURCEA(129);
  HPROPSHEETPAGE page = CreatePropertySheetPageA(&fromResource);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(broken.references, 1u);
  EXPECT_TRUE(DestroyPropertySheetPage(page));
  EXPECT_EQ(broken.references, 0u);
  fromResource.pszTemplate = MAKEINTRESOURCEA(999);
  EXPECT_EQ(CreatePropertySheetPageA(&fromResource), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

INT_PTR Container(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

int MakeChild(HWND, UINT message, LPARAM lParam) {
  if (message == PSCB_PRECREATE) {
    auto* sheetTemplate = reinterpret_cast<DLGTEMPLATE*>(lParam);
    sheetTemplate->style = (sheetTemplate->style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) |
                           WS_CHILD | DS_CONTROL;
  }
  return 0;
}

// The settings container: a sheet made a child of a dialog and moved to the
// frame control's place, shifted by -7, -7, keeping its size; it draws in
// the dialog's picture.
TEST(PropertySheet, AChildSheetMovedIntoAFrameSitsWhereTheFrameSays) {
  DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, 252, 196, "Settings");
  builder.Font(8, "MS Sans Serif").Label("", kFrame, 10, 10, 230, 170);
  const DialogTemplate containerTemplate = builder.Build();
  HWND container = CreateDialogIndirectParamA(nullptr, containerTemplate.get(), nullptr, Container, 0);
  ASSERT_NE(container, nullptr);
  ASSERT_NE(CreateSurface(container), nullptr);
  ThreePages three;
  PROPSHEETHEADERA header = Header(three, PSH_MODELESS);
  header.hwndParent = container;
  header.pfnCallback = MakeChild;
  const INT_PTR made = PropertySheetA(&header);
  ASSERT_NE(made, -1) << GetLastError();
  HWND sheet = reinterpret_cast<HWND>(made);
  EXPECT_EQ(GetParent(sheet), container);
  HWND frame = GetDlgItem(container, kFrame);
  ShowWindow(frame, SW_HIDE);
  RECT frameRect{}, containerRect{}, before{};
  GetWindowRect(frame, &frameRect);
  GetWindowRect(container, &containerRect);
  GetWindowRect(sheet, &before);
  ASSERT_TRUE(SetWindowPos(sheet, nullptr, frameRect.left - containerRect.left - 7, frameRect.top - containerRect.top - 7,
                           0, 0, SWP_NOSIZE | SWP_NOZORDER));
  RECT after{};
  GetWindowRect(sheet, &after);
  EXPECT_EQ(after.left, frameRect.left - 7);
  EXPECT_EQ(after.top, frameRect.top - 7);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  InvalidateRect(container, nullptr, TRUE);
  PumpDialog(container);
  KeepScreenshot(container, "child-sheet");
  // The selected tab's text is drawn in the container's picture, in black.
  const std::shared_ptr<Surface> surface = SurfaceOf(container);
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  RECT tabRect{}, item{};
  GetWindowRect(tab, &tabRect);
  SendMessageA(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
  int black = 0;
  {
    const Surface::Pixels pixels = surface->Lock();
    for (int y = item.top; y < item.bottom; ++y) {
      for (int x = item.left; x < item.right; ++x) {
        const uint8_t* p = pixels.row(tabRect.top - containerRect.top + y) + 3 * (tabRect.left - containerRect.left + x);
        black += p[0] == 0 && p[1] == 0 && p[2] == 0;
      }
    }
  }
  EXPECT_GT(black, 20);
  DestroyWindow(container);
  EXPECT_FALSE(IsWindow(sheet));
  EXPECT_EQ(three.references, 0u);
}

// How many pixels of a check box's text (right of its box) in its
// dialog's picture have `colour`.
int PixelsOf(HWND dialog, HWND control, COLORREF colour) {
  RECT place{}, self{};
  GetWindowRect(control, &place);
  GetWindowRect(dialog, &self);
  const Surface::Pixels pixels = SurfaceOf(dialog)->Lock();
  int count = 0;
  for (int y = place.top - self.top; y < place.bottom - self.top; ++y) {
    for (int x = place.left - self.left + 16; x < place.right - self.left; ++x) {
      const uint8_t* p = pixels.row(y) + 3 * x;
      count += RGB(p[2], p[1], p[0]) == colour;
    }
  }
  return count;
}

TEST(ControlDrawing, ADisabledControlDrawsItsTextGreyAndIgnoresClicks) {
  const DialogTemplate dialogTemplate = SettingsTemplate();
  SettingsRecord record;
  HWND dialog = CreateDialogIndirectParamA(nullptr, dialogTemplate.get(), nullptr, SettingsProcedure,
                                           reinterpret_cast<LPARAM>(&record));
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(CreateSurface(dialog), nullptr);
  HWND restrict = GetDlgItem(dialog, kRestrict);
  InvalidateRect(dialog, nullptr, TRUE);
  PumpDialog(dialog);
  const COLORREF black = GetSysColor(COLOR_BTNTEXT), grey = GetSysColor(COLOR_GRAYTEXT);
  EXPECT_GT(PixelsOf(dialog, restrict, black), 20) << "enabled: black text";
  EXPECT_EQ(PixelsOf(dialog, restrict, grey), 0);

  EnableWindow(restrict, FALSE);
  PumpDialog(dialog);
  KeepScreenshot(dialog, "disabled");
  EXPECT_EQ(PixelsOf(dialog, restrict, black), 0) << "disabled: nothing black";
  EXPECT_GT(PixelsOf(dialog, restrict, grey), 20) << "disabled: grey text";
  SendMessageA(restrict, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));  // as if it reached the control anyway
  SendMessageA(restrict, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  input::Click(restrict);
  PumpDialog(dialog);
  EXPECT_EQ(IsDlgButtonChecked(dialog, kRestrict), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(record.Count(kRestrict, BN_CLICKED), 0);

  // The font it is given is the one it answers and draws with: larger
  // letters, more grey.
  const int small = PixelsOf(dialog, restrict, grey);
  LOGFONTA large{};
  large.lfHeight = -20;
  const HFONT big = CreateFontIndirectA(&large);
  SendMessageA(restrict, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(restrict, WM_GETFONT, 0, 0)), big);
  PumpDialog(dialog);
  EXPECT_GT(PixelsOf(dialog, restrict, grey), small * 3 / 2);
  DestroyWindow(dialog);
  DeleteObject(big);
}

}  // namespace
