// The process's answerer at modal elements: message boxes answered each
// way, a dialog filled in by a script, and a box nobody could see.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/message_box.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/dialog_test_support.h"

namespace {

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::testing;

// Installs an answerer for one test and removes it after.
struct ScriptedPerson {
  explicit ScriptedPerson(Answerer answerer) { SetAnswerer(std::move(answerer)); }
  ~ScriptedPerson() { SetAnswerer({}); }
};

TEST(Answerer, MessageBoxesAreAnsweredEachWayWithTheirKeys) {
  std::vector<ModalElement> seen;
  std::vector<int> presses;  // a button by id, or a key (negative)
  ScriptedPerson person([&](const ModalElement& element) {
    seen.push_back(element);
    if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) {
      CreateSurface(element.window);
      InvalidateRect(element.window, nullptr, TRUE);
      PumpDialog(element.window);  // painted, as the loop would before a person looks
      SaveSurfacePng(element.window, std::string(keep) + ".box" + std::to_string(seen.size()) + ".png");
    }
    for (int press : presses) {
      if (press > 0) answer::PressButton(element.window, press);
      else input::PressKey(-press);
    }
  });
  presses = {IDYES};
  EXPECT_EQ(MessageBoxA(nullptr, "Save all pictures in\nc:\\pictures", "Save All", MB_YESNO | MB_ICONQUESTION), IDYES);
  presses = {IDNO};
  EXPECT_EQ(MessageBoxA(nullptr, "Save all pictures?", "Save All", MB_YESNO), IDNO);
  // Escape means nothing without a Cancel button; the click after it answers.
  presses = {-VK_ESCAPE, IDNO};
  EXPECT_EQ(MessageBoxA(nullptr, "Again?", "Save All", MB_YESNO), IDNO);
  // Enter presses the default button, the second one here.
  presses = {-VK_RETURN};
  EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Download", MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION), IDCANCEL);
  presses = {-VK_ESCAPE};
  EXPECT_EQ(MessageBoxA(nullptr, "Camera is not connected to PC", nullptr, MB_OK | MB_ICONHAND), IDOK);
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].kind, ModalKind::MessageBox);
  EXPECT_EQ(seen[0].title, "Save All");
  EXPECT_EQ(seen[0].text, "Save all pictures in\nc:\\pictures");
  EXPECT_EQ(seen[4].title, "Error") << "a box without a title";
  EXPECT_FALSE(IsWindow(seen[4].window)) << "the box is gone once answered";
}

TEST(Answerer, AScriptFillsInAModalDialog) {
  const DialogTemplate dialogTemplate = SettingsTemplate();
  SettingsRecord record;
  ModalKind kind = ModalKind::MessageBox;
  ScriptedPerson person([&](const ModalElement& element) {
    kind = element.kind;
    answer::TypeInto(element.window, kRateEdit, "22050");
    answer::PressButton(element.window, kStereo);
    answer::PressButton(element.window, IDOK);
  });
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), nullptr, SettingsProcedure,
                                    reinterpret_cast<LPARAM>(&record)),
            IDOK);
  EXPECT_EQ(kind, ModalKind::Dialog);
  EXPECT_EQ(record.rate, 22050u);
  EXPECT_EQ(record.channels, 2);
}

TEST(Answerer, WithNobodyToAskAMessageBoxReturnsItsDefaultAndADialogIsCancelled) {
  ASSERT_FALSE(HasAnswerer());
  ASSERT_FALSE(DisplayPresent()) << "no presenter in this program";
  ::testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  const int answer = MessageBoxA(nullptr, "Camera is used by another application", "KSV Camera",
                                 MB_YESNO | MB_DEFBUTTON2);
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDNO);
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_NE(said.find("KSV Camera"), std::string::npos);
  EXPECT_NE(said.find("Camera is used by another application"), std::string::npos);

  // A dialog is cancelled at once, as a person's Cancel would: it hears it.
  const DialogTemplate dialogTemplate = SettingsTemplate();
  SettingsRecord record;
  ::testing::internal::CaptureStderr();
  const INT_PTR result = DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), nullptr, SettingsProcedure,
                                                 reinterpret_cast<LPARAM>(&record));
  const std::string cancelled = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(record.Count(IDCANCEL, BN_CLICKED), 1);
  EXPECT_NE(cancelled.find("nobody can answer it"), std::string::npos) << cancelled;
}

}  // namespace
