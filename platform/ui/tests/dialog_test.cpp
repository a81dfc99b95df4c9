#include <gtest/gtest.h>

#include <thread>

#include "platform/ui/answerer.h"
#include "platform/ui/tests/dialog_test_support.h"
#include "platform/ui/tests/ui_test_support.h"

namespace {

using namespace ksv::platform::ui::testing;
namespace input = ksv::platform::ui::input;

// A person acting from another thread: an answerer that leaves the dialog
// to them, so it is not cancelled as unattended.
struct PersonAtHand {
  PersonAtHand() { ksv::platform::ui::SetAnswerer([](const ksv::platform::ui::ModalElement&) {}); }
  ~PersonAtHand() { ksv::platform::ui::SetAnswerer({}); }
};
using ksv::platform::ui::DialogTemplate;

std::string TextOf(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// A person fills in the settings from another thread while the dialog runs
// modally: types the rate (a letter is refused), ticks the box, picks
// stereo, a rate and a merit, and presses Enter.
TEST(DialogThreads, APersonFillsInAModalDialogAndAppliesIt) {
  const PersonAtHand person_at_hand;
  const DialogTemplate dialogTemplate = SettingsTemplate();
  const std::string ownerClass = RegisterTestClass(DefWindowProcA);
  HWND owner = CreateTestWindow(ownerClass);
  SettingsRecord record;
  std::atomic<bool> ownerDisabled{false};
  std::atomic<bool> driven{false};
  std::thread person([&] {
    ASSERT_TRUE(WaitFor([&] { return record.dialog.load() != nullptr; }));
    HWND dialog = record.dialog;
    // Whatever goes wrong below, the dialog is closed so the test ends.
    struct Closer {
      HWND dialog;
      std::atomic<bool>& driven;
      ~Closer() {
        if (!driven) PostMessageA(dialog, WM_CLOSE, 0, 0);
      }
    } closer{dialog, driven};
    // The dialog exists (its WM_INITDIALOG ran) a moment before the modal
    // loop disables the owner, so the person looks until it is.
    ownerDisabled = WaitFor([&] { return IsWindowEnabled(owner) == FALSE; });
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == GetDlgItem(dialog, kRateEdit); })) << "the first tab stop";
    input::TypeText("441a00");
    ASSERT_TRUE(WaitFor([&] { return TextOf(dialog, kRateEdit) == "44100"; }));
    input::Click(GetDlgItem(dialog, kRestrict));
    ASSERT_TRUE(WaitFor([&] { return IsDlgButtonChecked(dialog, kRestrict) == BST_CHECKED; }));
    input::Click(GetDlgItem(dialog, kStereo));
    ASSERT_TRUE(WaitFor([&] { return IsDlgButtonChecked(dialog, kStereo) == BST_CHECKED; }));
    input::ChooseItem(GetDlgItem(dialog, kRateCombo), 3);
    ASSERT_TRUE(WaitFor([&] { return SendDlgItemMessageA(dialog, kRateCombo, CB_GETCURSEL, 0, 0) == 3; }));
    input::ChooseItem(GetDlgItem(dialog, kMeritList), 1);
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == GetDlgItem(dialog, kMeritList); }));
    input::PressKey(VK_RETURN);
    driven = true;
  });
  const INT_PTR result = DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), owner, SettingsProcedure,
                                                 reinterpret_cast<LPARAM>(&record));
  person.join();
  ASSERT_TRUE(driven);
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(ownerDisabled) << "the owner is disabled while the dialog runs";
  EXPECT_TRUE(IsWindowEnabled(owner)) << "and enabled again after";
  EXPECT_FALSE(IsWindow(record.dialog)) << "the dialog is gone";
  EXPECT_TRUE(record.rateValid);
  EXPECT_EQ(record.rate, 44100u);
  EXPECT_EQ(record.restricted, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(record.channels, 2);
  EXPECT_EQ(record.comboText, "44100");
  EXPECT_EQ(record.meritText, "Normal");
  EXPECT_EQ(record.Count(kRateEdit, EN_CHANGE), 5) << "one per accepted character";
  EXPECT_EQ(record.Count(kRestrict, BN_CLICKED), 1);
  EXPECT_EQ(record.Count(kStereo, BN_CLICKED), 1);
  EXPECT_EQ(record.Count(kRateCombo, CBN_SELCHANGE), 1) << "the program's CB_SETCURSEL sent none";
  EXPECT_EQ(record.Count(kMeritList, LBN_SELCHANGE), 1);
  EXPECT_EQ(record.Count(IDOK, BN_CLICKED), 1) << "Enter pressed the default button";
  DestroyWindow(owner);
}

TEST(DialogThreads, EscapeCancelsAndWmQuitEndsTheLoopAndIsPostedAgain) {
  const PersonAtHand person_at_hand;
  const DialogTemplate dialogTemplate = SettingsTemplate();
  {
    SettingsRecord record;
    std::thread person([&] {
      ASSERT_TRUE(WaitFor([&] { return record.dialog.load() != nullptr && GetFocus() != nullptr; }));
      input::TypeText("99");
      input::PressKey(VK_ESCAPE);
    });
    const INT_PTR result = DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), nullptr, SettingsProcedure,
                                                   reinterpret_cast<LPARAM>(&record));
    person.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(record.rate, 0u) << "nothing was applied";
    EXPECT_EQ(record.Count(IDCANCEL, BN_CLICKED), 1);
  }
  {
    SettingsRecord record;
    const DWORD threadId = GetCurrentThreadId();
    std::thread quitter([&] {
      ASSERT_TRUE(WaitFor([&] { return record.dialog.load() != nullptr; }));
      PostThreadMessageA(threadId, WM_QUIT, 3, 0);
    });
    const INT_PTR result = DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), nullptr, SettingsProcedure,
                                                   reinterpret_cast<LPARAM>(&record));
    quitter.join();
    EXPECT_EQ(result, 0);
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
  }
}

INT_PTR EndAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    EndDialog(dialog, 42);
    return TRUE;
  }
  return FALSE;
}

TEST(Dialog, EndDialogDuringInitialisationAndTheFailuresOfTheModalCall) {
  const DialogTemplate dialogTemplate = SettingsTemplate();
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), nullptr, EndAtOnce, 0), 42);
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), reinterpret_cast<HWND>(0x1234), EndAtOnce, 0), 0)
      << "an owner that is not a window";
  const std::vector<std::byte> copy(dialogTemplate.bytes().begin(), dialogTemplate.bytes().end());
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(copy.data()), nullptr, EndAtOnce, 0),
            -1)
      << "a block whose size is not known";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class ModelessDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = CreateDialogIndirectParamA(nullptr, template_.get(), nullptr, SettingsProcedure,
                                         reinterpret_cast<LPARAM>(&record_));
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(dialog_);
    GetAsyncKeyState(VK_SHIFT);
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  void Press(int key) {
    input::PressKey(key);
    PumpDialog(dialog_);
  }

  DialogTemplate template_ = SettingsTemplate();
  SettingsRecord record_;
  HWND dialog_ = nullptr;
};

TEST_F(ModelessDialog, TabMovesAmongTabStopsAndArrowsWithinTheRadioGroup) {
  EXPECT_EQ(GetFocus(), Item(kRateEdit)) << "WM_INITDIALOG returned TRUE: the first tab stop";
  const HWND order[] = {Item(kRestrict), Item(kMono), Item(kRateCombo), Item(kMeritList),
                        Item(IDOK), Item(IDCANCEL), Item(kRateEdit)};
  for (HWND expected : order) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), expected) << GetDlgCtrlID(expected);
  }
  input::PressKeyWith(VK_SHIFT, VK_TAB);
  PumpDialog(dialog_);
  EXPECT_EQ(GetFocus(), Item(IDCANCEL)) << "Shift+Tab goes back round";

  // Arrow keys move within the group and check the radio button they land on.
  SetFocus(Item(kMono));
  Press(VK_DOWN);
  EXPECT_EQ(GetFocus(), Item(kStereo));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kStereo), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kMono), static_cast<UINT>(BST_UNCHECKED));
  Press(VK_DOWN);
  EXPECT_EQ(GetFocus(), Item(kMono)) << "the group wraps round";
  // Tab into the group lands on its checked button.
  SetFocus(Item(kRestrict));
  CheckRadioButton(dialog_, kMono, kStereo, kStereo);
  Press(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(kStereo));

  // Space clicks the focused check box; Enter on a push button presses it.
  SetFocus(Item(kRestrict));
  Press(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRestrict), static_cast<UINT>(BST_CHECKED));
  SetFocus(Item(IDCANCEL));
  Press(VK_RETURN);
  EXPECT_EQ(record_.Count(IDCANCEL, BN_CLICKED), 1);
  EXPECT_EQ(record_.Count(IDOK, BN_CLICKED), 0);
}

TEST_F(ModelessDialog, ADisabledControlIgnoresClicksTypingAndTab) {
  HWND edit = Item(kRateEdit);
  EXPECT_EQ(EnableWindow(Item(kRestrict), FALSE), FALSE) << "it was enabled";
  EXPECT_EQ(EnableWindow(Item(kRestrict), FALSE), TRUE) << "it was disabled";
  input::Click(Item(kRestrict));
  PumpDialog(dialog_);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRestrict), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(record_.Count(kRestrict, BN_CLICKED), 0);
  SendDlgItemMessageA(dialog_, kRestrict, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRestrict), static_cast<UINT>(BST_UNCHECKED));

  SetFocus(edit);
  Press(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(kMono)) << "Tab passes over the disabled box";

  SetFocus(edit);
  EnableWindow(edit, FALSE);
  EXPECT_EQ(GetFocus(), nullptr) << "a disabled window loses the focus";
  PostMessageA(edit, WM_CHAR, '7', 1);
  PumpDialog(dialog_);
  EXPECT_EQ(TextOf(dialog_, kRateEdit), "");
  EnableWindow(edit, TRUE);
  input::Click(edit);
  PumpDialog(dialog_);
  EXPECT_EQ(GetFocus(), edit) << "a click gives it the focus back";
  input::TypeText("7");
  PumpDialog(dialog_);
  EXPECT_EQ(TextOf(dialog_, kRateEdit), "7");

  // Nothing inside a disabled dialog takes input.
  EnableWindow(dialog_, FALSE);
  input::Click(Item(kStereo));
  PumpDialog(dialog_);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kStereo), static_cast<UINT>(BST_UNCHECKED))
      << "children of a disabled window take no input";
}

TEST_F(ModelessDialog, ClicksFindTheControlUnderThePointThroughGroupBoxesAndLabels) {
  RECT rect{};
  GetWindowRect(Item(kStereo), &rect);
  // The group box lies over the radio buttons but lets clicks through.
  EXPECT_EQ(input::WindowAt(dialog_, rect.left + 2, rect.top + 2), Item(kStereo));
  GetWindowRect(Item(kTitle), &rect);
  EXPECT_EQ(input::WindowAt(dialog_, rect.left + 1, rect.top + 1), dialog_) << "a plain label is transparent";
  EXPECT_EQ(input::WindowAt(dialog_, 5000, 5), nullptr);
  EXPECT_TRUE(input::Click(Item(kStereo)));
  PumpDialog(dialog_);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kStereo), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(GetFocus(), Item(kStereo));
}

TEST_F(ModelessDialog, DialogItemCallsAndDialogUnits) {
  SetDlgItemInt(dialog_, kRateEdit, static_cast<UINT>(-25), TRUE);
  BOOL translated = FALSE;
  EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog_, kRateEdit, &translated, TRUE)), -25);
  EXPECT_TRUE(translated);
  EXPECT_EQ(GetDlgItemInt(dialog_, kRateEdit, &translated, FALSE), 0u);
  EXPECT_FALSE(translated) << "unsigned: a sign is not a number";
  SetDlgItemTextA(dialog_, kRateEdit, " 4294967295 ");
  EXPECT_EQ(GetDlgItemInt(dialog_, kRateEdit, &translated, FALSE), 4294967295u);
  EXPECT_TRUE(translated);
  SetDlgItemTextA(dialog_, kRateEdit, "4294967296");
  GetDlgItemInt(dialog_, kRateEdit, &translated, FALSE);
  EXPECT_FALSE(translated) << "too big";
  SetDlgItemTextA(dialog_, kRateEdit, "12x");
  GetDlgItemInt(dialog_, kRateEdit, &translated, FALSE);
  EXPECT_FALSE(translated);
  EXPECT_EQ(GetDlgItemInt(dialog_, 9999, &translated, FALSE), 0u);
  EXPECT_FALSE(translated);
  EXPECT_EQ(record_.Count(kRateEdit, EN_CHANGE), 4) << "WM_SETTEXT changes an edit too";

  EXPECT_TRUE(CheckDlgButton(dialog_, kRestrict, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRestrict), static_cast<UINT>(BST_CHECKED));
  EXPECT_FALSE(CheckDlgButton(dialog_, 9999, BST_CHECKED));
  EXPECT_EQ(record_.Count(kRestrict, BN_CLICKED), 0) << "a program's check is no click";

  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(8, 16));
  RECT rect{4, 8, 247, 94};
  ASSERT_TRUE(MapDialogRect(dialog_, &rect));
  EXPECT_EQ(rect.left, 6);
  EXPECT_EQ(rect.top, 13);
  EXPECT_EQ(rect.right, 371);  // 247 * 6 / 4, rounded
  EXPECT_EQ(rect.bottom, 153);  // 94 * 13 / 8, rounded
  RECT control{};
  GetWindowRect(Item(kRateEdit), &control);
  EXPECT_EQ(control.left, 75) << "50 units across";
  EXPECT_EQ(control.bottom - control.top, 19) << "corners 4 and 16 units down, each rounded";

  EXPECT_EQ(SendMessageA(dialog_, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
  SendMessageA(dialog_, DM_SETDEFID, IDCANCEL, 0);
  EXPECT_EQ(SendMessageA(dialog_, DM_GETDEFID, 0, 0), MAKELONG(IDCANCEL, DC_HASDEFID));
  EXPECT_EQ(GetWindowLongA(Item(IDOK), GWL_STYLE) & BS_TYPEMASK, static_cast<LONG>(BS_PUSHBUTTON));
  SetFocus(Item(kRateEdit));
  Press(VK_RETURN);
  EXPECT_EQ(record_.Count(IDCANCEL, BN_CLICKED), 1) << "Enter presses the new default button";
}

}  // namespace
