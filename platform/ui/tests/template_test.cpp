#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/tests/dialog_test_support.h"
#include "platform/sync/sync.h"
#include "platform/ui/window.h"

namespace {

using namespace ksv::platform::ui::testing;
using ksv::platform::ui::CreateDialogFromTemplate;
using ksv::platform::ui::DialogTemplateBuilder;
using ksv::platform::ui::ParseDialogTemplate;

INT_PTR Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? FALSE : FALSE; }

size_t WindowsOfThisThread() { return ksv::platform::ui::WindowsOfThread(GetCurrentThreadId()).size(); }

TEST(DialogTemplate, BothLayoutsReadBackAsWritten) {
  for (bool extended : {false, true}) {
    const auto dialogTemplate = SettingsTemplate(extended);
    const auto parsed = ParseDialogTemplate(dialogTemplate.bytes());
    ASSERT_TRUE(parsed.has_value()) << extended;
    EXPECT_EQ(parsed->extended, extended);
    EXPECT_EQ(parsed->title, "Settings");
    EXPECT_EQ(parsed->face, "MS Sans Serif");
    EXPECT_EQ(parsed->pointSize, 8);
    EXPECT_EQ(parsed->width, 247);
    ASSERT_EQ(parsed->controls.size(), 10u);
    EXPECT_EQ(parsed->controls[1].className, "Edit");
    EXPECT_EQ(parsed->controls[1].id, static_cast<DWORD>(kRateEdit));
    EXPECT_EQ(parsed->controls[4].text, "&Mono");
    EXPECT_EQ(parsed->controls[4].style & (WS_GROUP | WS_TABSTOP | BS_TYPEMASK),
              WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON);
    EXPECT_EQ(parsed->controls[6].className, "ComboBox");
  }
  // Text beyond ASCII and creation data survive the trip.
  DialogTemplateBuilder::Control control;
  control.ordinal = ksv::platform::ui::kStaticOrdinal;
  control.text = "Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x93\xB7";
  control.creationData = {std::byte{1}, std::byte{2}, std::byte{3}};
  const auto dialogTemplate = DialogTemplateBuilder(WS_POPUP, 0, 0, 10, 10, "").Add(control).Build();
  const auto parsed = ParseDialogTemplate(dialogTemplate.bytes());
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->controls[0].text, control.text);
  EXPECT_EQ(parsed->controls[0].creationData, control.creationData);
}

TEST(DialogTemplate, MalformedTemplatesFailCleanly) {
  const auto good = SettingsTemplate();
  const std::span<const std::byte> bytes = good.bytes();
  const size_t windowsBefore = WindowsOfThisThread();
  // Every truncation fails, without reading past the end (the sanitizers
  // watch) and without leaving a window behind.
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::vector<std::byte> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(ParseDialogTemplate(cut).has_value()) << length;
    EXPECT_EQ(CreateDialogFromTemplate(cut, nullptr, nullptr, Quiet, 0), nullptr) << length;
  }
  EXPECT_EQ(WindowsOfThisThread(), windowsBefore);

  std::vector<std::byte> copy(bytes.begin(), bytes.end());
  // An absurd control count runs past the end.
  std::vector<std::byte> many = copy;
  const WORD count = 0xFFFF;
  std::memcpy(many.data() + 8, &count, sizeof count);
  EXPECT_FALSE(ParseDialogTemplate(many).has_value());
  // An unknown class ordinal.
  std::vector<std::byte> unknown = copy;
  const std::byte button[] = {std::byte{0xFF}, std::byte{0xFF}, std::byte{0x80}, std::byte{0x00}};
  auto at = std::search(unknown.begin(), unknown.end(), std::begin(button), std::end(button));
  ASSERT_NE(at, unknown.end());
  at[2] = std::byte{0x99};
  EXPECT_FALSE(ParseDialogTemplate(unknown).has_value());
  EXPECT_EQ(CreateDialogFromTemplate(unknown, nullptr, nullptr, Quiet, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // A title with no terminator.
  std::vector<std::byte> unterminated(copy.begin(), copy.begin() + 22);
  unterminated.push_back(std::byte{'S'});
  unterminated.push_back(std::byte{0});
  EXPECT_FALSE(ParseDialogTemplate(unterminated).has_value());
  EXPECT_EQ(WindowsOfThisThread(), windowsBefore);
}

TEST(DialogTemplate, AControlOfAnUnknownClassFailsCreationUnlessToldNotTo) {
  DialogTemplateBuilder::Control control;
  control.className = "NoSuchClass";
  control.id = 7;
  const size_t windowsBefore = WindowsOfThisThread();
  const auto failing = DialogTemplateBuilder(WS_POPUP, 0, 0, 10, 10, "")
                           .Label("x", 1, 0, 0, 5, 5)
                           .Add(control)
                           .Build();
  EXPECT_EQ(CreateDialogIndirectParamA(nullptr, failing.get(), nullptr, Quiet, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_EQ(WindowsOfThisThread(), windowsBefore) << "the dialog and its made controls went";
  const auto tolerant = DialogTemplateBuilder(WS_POPUP | DS_NOFAILCREATE, 0, 0, 10, 10, "")
                            .Label("x", 1, 0, 0, 5, 5)
                            .Add(control)
                            .Build();
  HWND dialog = CreateDialogIndirectParamA(nullptr, tolerant.get(), nullptr, Quiet, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(GetDlgItem(dialog, 1), nullptr);
  EXPECT_EQ(GetDlgItem(dialog, 7), nullptr);
  DestroyWindow(dialog);
}

}  // namespace
