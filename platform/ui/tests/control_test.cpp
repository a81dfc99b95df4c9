#include <gtest/gtest.h>

#include "platform/ui/tests/dialog_test_support.h"

namespace {

using namespace ksv::platform::ui::testing;
namespace input = ksv::platform::ui::input;
using ksv::platform::ui::DialogTemplateBuilder;

// A parent that records WM_COMMAND and scroll notifications.
std::vector<std::pair<int, int>> notifications;  // (control or scroll message, code)
INT_PTR Recorder(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND) notifications.emplace_back(LOWORD(wParam), HIWORD(wParam));
  if (message == WM_HSCROLL || message == WM_VSCROLL) notifications.emplace_back(-static_cast<int>(message), LOWORD(wParam));
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    notifications.clear();
    template_ = std::make_unique<ksv::platform::ui::DialogTemplate>(
        DialogTemplateBuilder(WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, "Controls")
            .ComboBox(1, 0, 0, 80, 60, CBS_DROPDOWNLIST)
            .ComboBox(2, 0, 20, 80, 60, CBS_DROPDOWN | CBS_SORT)
            .ListBox(3, 100, 0, 80, 24, LBS_NOTIFY)
            .EditText(4, 0, 40, 80, 12)
            .Trackbar(5, 0, 60, 104, 12)
            .Build());
    dialog_ = CreateDialogIndirectParamA(nullptr, template_->get(), nullptr, Recorder, 0);
    ASSERT_NE(dialog_, nullptr);
    notifications.clear();  // the first control's focus
  }
  void TearDown() override { DestroyWindow(dialog_); }
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dialog_, id, message, wParam, lParam);
  }
  LRESULT Add(int id, UINT message, const char* text) { return Send(id, message, 0, reinterpret_cast<LPARAM>(text)); }
  std::string Text(int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  void Pump() { PumpDialog(dialog_); }

  std::unique_ptr<ksv::platform::ui::DialogTemplate> template_;
  HWND dialog_ = nullptr;
};

TEST_F(Controls, ComboBoxMessagesAnswerAsDocumented) {
  EXPECT_EQ(Send(1, CB_GETCURSEL), CB_ERR) << "nothing selected at first";
  EXPECT_EQ(Add(1, CB_ADDSTRING, "8000"), 0);
  EXPECT_EQ(Add(1, CB_ADDSTRING, "22050"), 1);
  EXPECT_EQ(Add(1, CB_ADDSTRING, "11025"), 2) << "unsorted: added at the end";
  EXPECT_EQ(Send(1, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("x")), CB_ERR) << "past the end";
  EXPECT_EQ(Send(1, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("44100")), 0);
  EXPECT_EQ(Send(1, CB_GETCOUNT), 4);
  EXPECT_EQ(Send(1, CB_SETCURSEL, 2), 2);
  EXPECT_EQ(Text(1), "22050") << "the box shows the selection";
  EXPECT_EQ(Send(1, CB_GETLBTEXTLEN, 2), 5);
  char text[16] = {};
  EXPECT_EQ(Send(1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)), 5);
  EXPECT_STREQ(text, "44100");
  EXPECT_EQ(Send(1, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(text)), CB_ERR);
  EXPECT_EQ(Send(1, CB_GETLBTEXTLEN, static_cast<WPARAM>(-2)), CB_ERR);
  EXPECT_EQ(Send(1, CB_SETITEMDATA, 1, 8000), TRUE);
  EXPECT_EQ(Send(1, CB_GETITEMDATA, 1), 8000);
  EXPECT_EQ(Send(1, CB_GETITEMDATA, 7), CB_ERR);
  EXPECT_EQ(Send(1, CB_SETITEMDATA, 7, 1), CB_ERR);
  EXPECT_EQ(Add(1, CB_FINDSTRINGEXACT, "11025"), 3);
  EXPECT_EQ(Send(1, CB_FINDSTRINGEXACT, 3, reinterpret_cast<LPARAM>("11025")), 3) << "searches on round";
  EXPECT_EQ(Add(1, CB_FINDSTRINGEXACT, "1102"), CB_ERR);
  EXPECT_EQ(Add(1, CB_FINDSTRING, "1102"), 3);
  EXPECT_EQ(Send(1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("96000")), CB_ERR) << "a list shows only its items";
  EXPECT_EQ(Send(1, CB_GETCURSEL), 2);
  EXPECT_EQ(Send(1, CB_DELETESTRING, 0), 3) << "the items left";
  EXPECT_EQ(Send(1, CB_GETCURSEL), 1) << "the selection moves with its item";
  EXPECT_EQ(Send(1, CB_DELETESTRING, 9), CB_ERR);
  EXPECT_EQ(Send(1, CB_SETCURSEL, 9), CB_ERR);
  EXPECT_EQ(Send(1, CB_GETCURSEL), CB_ERR) << "a bad index removes the selection";
  EXPECT_EQ(Text(1), "");
  EXPECT_TRUE(notifications.empty()) << "a program's changes notify nothing";
  Send(1, CB_RESETCONTENT);
  EXPECT_EQ(Send(1, CB_GETCOUNT), 0);

  // Sorted, with an edit part.
  Add(2, CB_ADDSTRING, "b");
  Add(2, CB_ADDSTRING, "C");
  EXPECT_EQ(Add(2, CB_ADDSTRING, "a"), 0);
  EXPECT_EQ(Add(2, CB_ADDSTRING, "B"), 2) << "after the equal one, without case";
}

TEST_F(Controls, APersonChangesComboAndListSelections) {
  for (const char* rate : {"8000", "11025", "22050"}) Add(1, CB_ADDSTRING, rate);
  HWND combo = GetDlgItem(dialog_, 1);
  SetFocus(combo);
  input::PressKey(VK_DOWN);
  input::PressKey(VK_DOWN);
  input::PressKey(VK_UP);
  Pump();
  EXPECT_EQ(Send(1, CB_GETCURSEL), 0);
  EXPECT_EQ(std::count(notifications.begin(), notifications.end(), std::make_pair(1, int{CBN_SELCHANGE})), 3);
  input::TypeText("2");
  Pump();
  EXPECT_EQ(Text(1), "22050") << "a character picks the next item starting with it";
  notifications.clear();
  input::ChooseItem(combo, 1);
  Pump();
  EXPECT_EQ(Send(1, CB_GETCURSEL), 1);
  EXPECT_EQ(Send(1, CB_GETDROPPEDSTATE), FALSE) << "closed after the pick";
  const std::vector<std::pair<int, int>> expected{{1, CBN_DROPDOWN}, {1, CBN_SELCHANGE}, {1, CBN_SELENDOK},
                                                  {1, CBN_CLOSEUP}};
  EXPECT_EQ(notifications, expected);

  // Typing into an editable combo box.
  HWND editable = GetDlgItem(dialog_, 2);
  Add(2, CB_ADDSTRING, "48000");
  Send(2, CB_SETCURSEL, 0);
  SetFocus(editable);
  notifications.clear();
  input::TypeText("441\b00");
  Pump();
  EXPECT_EQ(Text(2), "4400") << "focus selected the text, typing replaced it";
  EXPECT_EQ(Send(2, CB_GETCURSEL), CB_ERR);
  EXPECT_EQ(std::count(notifications.begin(), notifications.end(), std::make_pair(2, int{CBN_EDITCHANGE})), 6);

  // The list box: clicks on rows, keys, LB_ return codes.
  for (const char* merit : {"Do not use", "Normal", "Preferred", "Unlikely", "Extra"}) Add(3, LB_ADDSTRING, merit);
  EXPECT_EQ(Send(3, LB_GETITEMHEIGHT), ksv::platform::ui::kListItemHeight);
  notifications.clear();
  input::ChooseItem(GetDlgItem(dialog_, 3), 2);
  Pump();
  EXPECT_EQ(Send(3, LB_GETCURSEL), 2);
  input::PressKey(VK_END);
  Pump();
  EXPECT_EQ(Send(3, LB_GETCURSEL), 4);
  EXPECT_GT(Send(3, LB_GETTOPINDEX), 0) << "scrolled to show the selection";
  input::ChooseItem(GetDlgItem(dialog_, 3), 0);
  Pump();
  EXPECT_EQ(Send(3, LB_GETCURSEL), 0);
  EXPECT_EQ(std::count(notifications.begin(), notifications.end(), std::make_pair(3, int{LBN_SELCHANGE})), 3);
  EXPECT_EQ(Send(3, LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR) << "documented: -1 answers LB_ERR";
  EXPECT_EQ(Send(3, LB_GETCURSEL), LB_ERR);
  Send(3, LB_SETCURSEL, 3);
  EXPECT_EQ(Send(3, LB_SETCURSEL, 10), LB_ERR);
  EXPECT_EQ(Send(3, LB_GETCURSEL), 3) << "a list box keeps its selection on a bad index";
  EXPECT_EQ(Send(3, LB_DELETESTRING, 3), 4);
  EXPECT_EQ(Send(3, LB_GETCURSEL), LB_ERR) << "the selected item went";
  EXPECT_EQ(Send(3, LB_GETTEXTLEN, 4), LB_ERR);
  EXPECT_EQ(Send(3, LB_SETITEMDATA, 1, 0x200000), TRUE);
  EXPECT_EQ(Send(3, LB_GETITEMDATA, 1), 0x200000);
  EXPECT_EQ(Add(3, LB_FINDSTRINGEXACT, "normal"), 1);
}

TEST_F(Controls, EditTypingLimitsAndSelection) {
  HWND edit = GetDlgItem(dialog_, 4);
  SetFocus(edit);
  Send(4, EM_LIMITTEXT, 5);
  input::TypeText("Hello world");
  Pump();
  EXPECT_EQ(Text(4), "Hello");
  EXPECT_GT(std::count(notifications.begin(), notifications.end(), std::make_pair(4, int{EN_MAXTEXT})), 0);
  input::PressKey(VK_LEFT);
  input::PressKey(VK_LEFT);
  input::PressKey(VK_BACK);
  input::PressKey(VK_DELETE);
  Pump();
  EXPECT_EQ(Text(4), "Heo") << "the caret moved, Backspace and Delete removed one each side";
  Send(4, EM_SETSEL, 1, 2);
  DWORD start = 0;
  DWORD end = 0;
  EXPECT_EQ(Send(4, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)), MAKELONG(1, 2));
  input::TypeText("XY");
  Pump();
  EXPECT_EQ(Text(4), "HXYo") << "typing replaced the selection";
  Send(4, EM_SETREADONLY, TRUE);
  input::TypeText("z");
  Pump();
  EXPECT_EQ(Text(4), "HXYo") << "read-only";
}

TEST_F(Controls, TrackbarMovesByKeysClicksAndDragsAndTellsTheParent) {
  HWND trackbar = GetDlgItem(dialog_, 5);
  Send(5, TBM_SETRANGE, TRUE, MAKELPARAM(-10, 90));
  Send(5, TBM_SETPOS, TRUE, 500);
  EXPECT_EQ(Send(5, TBM_GETPOS), 90) << "clamped to the range";
  EXPECT_EQ(Send(5, TBM_GETRANGEMIN), -10);
  EXPECT_TRUE(notifications.empty());
  SetFocus(trackbar);
  notifications.clear();
  input::PressKey(VK_LEFT);
  input::PressKey(VK_PRIOR);
  input::PressKey(VK_HOME);
  Pump();
  EXPECT_EQ(Send(5, TBM_GETPOS), -10);
  const int scroll = -static_cast<int>(WM_HSCROLL);
  const std::vector<std::pair<int, int>> keys{{scroll, TB_LINEUP}, {scroll, TB_ENDTRACK}, {scroll, TB_PAGEUP},
                                              {scroll, TB_ENDTRACK}, {scroll, TB_TOP}, {scroll, TB_ENDTRACK}};
  EXPECT_EQ(notifications, keys);
  notifications.clear();
  // The trackbar is 156 pixels wide: the thumb at -10 sits at its left end.
  RECT rect{};
  GetWindowRect(trackbar, &rect);
  ASSERT_EQ(rect.right - rect.left, 156);
  input::DragAt(dialog_, rect.left + 1, rect.top + 5, rect.left + 78, rect.top + 5);
  Pump();
  EXPECT_EQ(Send(5, TBM_GETPOS), 40) << "the middle of -10..90";
  const std::vector<std::pair<int, int>> drag{{scroll, TB_THUMBTRACK}, {scroll, TB_THUMBPOSITION}, {scroll, TB_ENDTRACK}};
  EXPECT_EQ(notifications, drag);
  input::ClickAt(dialog_, rect.right - 2, rect.top + 5);
  Pump();
  EXPECT_EQ(Send(5, TBM_GETPOS), 60) << "a click beside the thumb moves a page (a fifth of the range)";
}

}  // namespace
