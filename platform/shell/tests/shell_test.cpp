// The folder browser answered by a script, and ShellExecuteA recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/task_memory.h"
#include "platform/shell/shell.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/surface.h"
#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;
using namespace ksv::platform::ui;

// What the control's callback does: select the stored folder at start, show
// each selection as status text, stay open on a bad name.
struct CallbackRecord {
  std::string initial;
  std::vector<std::string> selections;
  std::vector<std::string> refused;
};

int Callback(HWND browser, UINT message, LPARAM lParam, LPARAM data) {
  auto* record = reinterpret_cast<CallbackRecord*>(data);
  if (message == BFFM_INITIALIZED) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(record->initial.c_str()));
  } else if (message == BFFM_SELCHANGED) {
    char path[260] = {};
    if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path)) {
      record->selections.emplace_back(path);
      SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
  } else if (message == BFFM_VALIDATEFAILEDA) {
    record->refused.emplace_back(reinterpret_cast<const char*>(lParam));
    return 1;
  }
  return 0;
}

std::string TextOf(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

TEST(FolderBrowser, AScriptedPersonPicksAFolderWhileTheCallbackFollows) {
  ksv::testing::TempFolder temp;
  const std::string root = fs::canonical(temp.path()).string();
  fs::create_directory(temp / "Clips");
  fs::create_directory(temp / "Pictures");
  CallbackRecord record;
  record.initial = root + "/";
  std::vector<std::string> statuses;
  ModalKind kind = ModalKind::Dialog;
  SetAnswerer([&](const ModalElement& element) {
    kind = element.kind;
    HWND browser = element.window;
    statuses.push_back(TextOf(browser, kBrowserStatusId));
    // The list: "..", "Clips", "Pictures".
    input::ChooseItem(GetDlgItem(browser, kBrowserFoldersId), 2);
    answer::Settle(browser);
    statuses.push_back(TextOf(browser, kBrowserStatusId));
    if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) {
      CreateSurface(browser);
      InvalidateRect(browser, nullptr, TRUE);
      answer::Settle(browser);
      SaveSurfacePng(browser, std::string(keep) + ".browser.png");
    }
    answer::TypeInto(browser, kBrowserEditId, "Nowhere");
    answer::PressButton(browser, IDOK);
    answer::Settle(browser);
    EXPECT_TRUE(IsWindow(browser)) << "a bad name keeps the browser open";
    answer::TypeInto(browser, kBrowserEditId, root + "/Clips");
    answer::PressButton(browser, IDOK);
  });
  char name[260] = {};
  BROWSEINFOA info{};
  info.pszDisplayName = name;
  info.lpszTitle = "Select a folder to save all pictures";
  info.ulFlags = 0x75;
  info.lpfn = Callback;
  info.lParam = reinterpret_cast<LPARAM>(&record);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  SetAnswerer({});
  ASSERT_NE(chosen, nullptr);
  char path[260] = {};
  EXPECT_TRUE(SHGetPathFromIDListA(chosen, path));
  CoTaskMemFree(chosen);
  EXPECT_EQ(std::string(path), root + "/Clips");
  EXPECT_STREQ(name, "Clips");
  EXPECT_EQ(kind, ModalKind::FolderBrowser);
  ASSERT_GE(record.selections.size(), 2u);
  EXPECT_EQ(record.selections.end()[-2], root) << "the initial selection the callback asked for";
  EXPECT_EQ(record.selections.back(), root + "/Pictures");
  EXPECT_EQ(statuses, (std::vector<std::string>{root, root + "/Pictures"}));
  EXPECT_EQ(record.refused, std::vector<std::string>{"Nowhere"});
}

TEST(FolderBrowser, CancelAndNobodyToAskGiveNothing) {
  SetAnswerer([](const ModalElement& element) { answer::PressButton(element.window, IDCANCEL); });
  BROWSEINFOA info{};
  info.ulFlags = 0x75;
  EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
  SetAnswerer({});
  ::testing::internal::CaptureStderr();
  info.lpszTitle = "Save All";
  EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Save All"), std::string::npos);
}

TEST(ShellExecute, OpenIsHandedOnAndRecorded) {
  ksv::testing::TempFolder temp;
  const fs::path clip = temp / "CLIP0001.AVI";
  { std::FILE* file = std::fopen(clip.c_str(), "w"); std::fclose(file); }
  std::vector<ksv::platform::shell::ShellCall> calls;
  ksv::platform::shell::SetShellRecorder([&](const ksv::platform::shell::ShellCall& call) { calls.push_back(call); });
  EXPECT_GT(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", clip.c_str(), nullptr, nullptr, SW_SHOWNORMAL)), 32);
  EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", (temp / "gone.avi").c_str(), nullptr, nullptr, 1)),
            SE_ERR_FNF);
  EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "print", clip.c_str(), nullptr, nullptr, 1)), SE_ERR_NOASSOC);
  ksv::platform::shell::SetShellRecorder({});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].verb, "open");
  EXPECT_EQ(calls[0].file, clip.string());
  EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);
}

}  // namespace
