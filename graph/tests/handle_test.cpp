// The handle without any graph framework installed: its hidden window and
// timer, the Escape key, the event dispatch and the exports that need
// controls the handle does not have.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "graph/graph_routines.h"
#include "include/oksv1gra.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/input.h"
#include "platform/ui/user32.h"

namespace ksv::graph {
namespace {

namespace kernel = platform::kernel;

constexpr int64_t kMicroseconds = 1'000'000;

std::vector<int32_t> codes;  // what the callback received, in order

void Record(int32_t code, intptr_t userData) {
  EXPECT_EQ(userData, intptr_t(0x1234567890)) << "the user data is pointer-sized";
  codes.push_back(code);
}

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The client's top-level window, on the simulated counter the timer runs on.
class Handle : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    codes.clear();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.lpszClassName = "QMG test client";
    RegisterClassA(&windowClass);
    parent_ = CreateWindowExA(0, "QMG test client", "client", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  // Dispatches the thread's messages until `count` callbacks arrived (the
  // waits move the simulated counter on to the next tick).
  void PumpUntil(size_t count) {
    MSG message{};
    for (int guard = 0; codes.size() < count && guard < 1000; ++guard) {
      if (GetMessageA(&message, nullptr, 0, 0) <= 0) break;
      DispatchMessageA(&message);
    }
  }

  media::testing::PluginRoot root_{{}};
  kernel::SimulatedPerformanceCounter counter_{kMicroseconds};
  kernel::ScopedPerformanceCounter installed_{counter_};
  HWND parent_ = nullptr;
};

TEST_F(Handle, InitMakesTheHiddenChildWindowAndResetDestroysIt) {
  EXPECT_EQ(QMG_Init(nullptr, nullptr), nullptr) << "the hidden window is a child window";

  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  HWND hidden = GetDlgItem(parent_, kNotifyControlId);
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(GetParent(hidden), parent_);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(handle->notify->window, hidden);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_NONE);
  EXPECT_EQ(handle->graph, nullptr) << "no filter graph is installed in this root";

  EXPECT_EQ(QMG_Reset(handle), 1);
  EXPECT_FALSE(IsWindow(hidden));
}

TEST_F(Handle, TheTimerTicksAndEscapeBetweenTwoTicksGivesExactlyOneCodeOne) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(QMG_SetCallbackProc(handle, Record, intptr_t(0x1234567890)), 1);
  const int64_t start = counter_.Counter();
  PumpUntil(3);
  ASSERT_EQ(codes, (std::vector<int32_t>{0, 0, 0}));
  // Three ticks of 33 ms.
  EXPECT_GE(counter_.Counter() - start, 3 * 33 * 1000);
  EXPECT_LT(counter_.Counter() - start, 4 * 33 * 1000);

  platform::ui::input::PressKey(VK_ESCAPE);
  PumpUntil(6);
  EXPECT_EQ(codes, (std::vector<int32_t>{0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(QMG_Reset(handle), 1);
}

TEST_F(Handle, DispatchDrainsEventsForCodeTwoAndIgnoresCodesAboveThree) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  QMG_SetCallbackProc(handle, Record, intptr_t(0x1234567890));
  EXPECT_EQ(QMG_GetEventFlag(handle), 0);
  EXPECT_EQ(QMG_SetEventFlag(handle), 1);
  EXPECT_EQ(QMG_GetEventFlag(handle), 1);

  DispatchEvent(4, handle);
  DispatchEvent(-1, handle);
  EXPECT_TRUE(codes.empty());
  // Graph events without a graph: nothing to drain, the flag stays.
  ASSERT_TRUE(PostMessageA(handle->notify->window, kGraphEventMessage, 0, 0));
  MSG message{};
  while (PeekMessageA(&message, handle->notify->window, kGraphEventMessage, kGraphEventMessage, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
  EXPECT_EQ(codes, (std::vector<int32_t>{QMG_CODE_GRAPH_EVENTS}));
  EXPECT_EQ(QMG_GetEventFlag(handle), 1);
  EXPECT_EQ(QMG_Reset(handle), 1);
}

TEST_F(Handle, CommandsWithoutControlsFailAndStoreNothing) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(QMG_Play(handle), 0);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_NONE);
  EXPECT_EQ(QMG_Pause(handle), 0);
  EXPECT_EQ(QMG_Stop(handle), 0);
  EXPECT_EQ(QMG_SetViewWnd(handle, nullptr, 1, 2, 3, 4), 0);
  EXPECT_EQ(QMG_SetViewWnd(handle, parent_, 1, 2, 3, 4), 0) << "no video window";
  EXPECT_EQ(handle->viewWindow, nullptr);
  EXPECT_EQ(handle->viewWidth, 0);
  QmgVideoFormat format{};
  EXPECT_EQ(QMG_GetVideoFormat(handle, &format), 0);
  EXPECT_EQ(QMG_CaptureFilterDlg(handle), 0);
  EXPECT_EQ(QMG_ChooseAudioFormat(handle), 0);
  char* caption = nullptr;
  EXPECT_EQ(QMG_GetVideoCaption(handle, &caption), 0);
  EXPECT_EQ(QMG_Reset(handle), 1);

  // A null handle fails everywhere.
  EXPECT_EQ(QMG_Reset(nullptr), 0);
  EXPECT_EQ(QMG_Play(nullptr), 0);
  EXPECT_EQ(QMG_SetEventFlag(nullptr), 0);
  EXPECT_EQ(QMG_BuildPreview(nullptr, "camera", nullptr), 0);
  EXPECT_EQ(QMG_BuildCaptureAudio(nullptr, "mic", nullptr, "x.wav"), 0);
  EXPECT_EQ(QMG_SetVideoFormat(nullptr, 1), 0);
}

TEST(DebugOutput, GoesToStandardErrorOnlyWhenKsvDebugIsSet) {
  unsetenv("KSV_DEBUG");
  ::testing::internal::CaptureStderr();
  DebugLine("quiet\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  setenv("KSV_DEBUG", "1", 1);
  ::testing::internal::CaptureStderr();
  DebugLine("Could not set QuickCompress on Vexel filter!\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Could not set QuickCompress on Vexel filter!\n");
  unsetenv("KSV_DEBUG");
}

}  // namespace
}  // namespace ksv::graph
