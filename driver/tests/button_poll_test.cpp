// The button thread and its poll on the simulated camera: the button and
// mode while no stream is open, "SnapShoot" while one is, and the thread's
// end.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "driver/button_poll.h"
#include "driver/button_thread.h"
#include "driver/module_state.h"
#include "driver/tests/camera_harness.h"
#include "platform/kernel/event.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
using kernel::STATUS_SUCCESS;

size_t StatusReads(const simcam::CameraRegisters& registers) {
  const auto calls = registers.Calls();
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const auto& call) {
    return call.in && call.request == 0x05;
  }));
}

// The poll called by the test, one wake at a time.
class ButtonPoll : public testing::CameraHarness {
 protected:
  ButtonPoll() { InstallButtonPoll(nullptr); }
  ~ButtonPoll() override { InstallButtonPolling(); }

  void StartIdle() {
    ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
    platform::usbcamd::HW_STREAM_DESCRIPTOR streams;
    ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  }
};

TEST_F(ButtonPoll, APressWhileIdlePublishesTheButtonAndLatchesTheTrigger) {
  StartIdle();
  EXPECT_EQ(Value("Button"), 0u);
  EXPECT_EQ(Value("TimerTrigger"), 0u);
  EXPECT_EQ(SharedLoad(extension().ModeIndicator), 1u) << "mode bit clear";

  registers().PressButton();
  PollButton(extension());
  EXPECT_EQ(Value("Button"), 0x20u);
  EXPECT_EQ(Value("TimerTrigger"), 1u);
  EXPECT_EQ(SharedLoad(extension().LastStatusByte), 0x20);
  EXPECT_EQ(SharedLoad(extension().ButtonSnapshotRequest), 0u) << "no stream: no snapshot";

  // User mode consumes the latch; releasing publishes the button only.
  SetValue("TimerTrigger", 0);
  registers().ReleaseButton();
  PollButton(extension());
  EXPECT_EQ(Value("Button"), 0u);
  EXPECT_EQ(Value("TimerTrigger"), 0u);

  // An unchanged byte writes nothing.
  DeleteValue("Button");
  PollButton(extension());
  EXPECT_EQ(Value("Button"), std::nullopt);

  // Bit 7 latches the trigger too.
  registers().SetStatusByte(0x80);
  PollButton(extension());
  EXPECT_EQ(Value("Button"), 0x80u);
  EXPECT_EQ(Value("TimerTrigger"), 1u);
}

TEST_F(ButtonPoll, TheModeBitIsFollowedInverted) {
  StartIdle();
  registers().SetStatusByte(0x10);
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().ModeIndicator), 0u);
  EXPECT_EQ(Value("TimerTrigger"), 0u) << "the mode bit is no trigger";
  registers().SetStatusByte(0x14);
  SharedStore(extension().ModeIndicator, uint32_t{7});
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().ModeIndicator), 7u) << "bit 4 did not change";
  registers().SetStatusByte(0x04);
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().ModeIndicator), 1u);
  EXPECT_EQ(Value("Button"), 0x04u);
}

TEST_F(ButtonPoll, NoStatusIsAskedForWhileSuspendedOrStreamingAndAFailedReadIsSkipped) {
  StartIdle();
  const size_t reads = StatusReads(registers());
  extension().Suspended = 1;
  registers().PressButton();
  PollButton(extension());
  EXPECT_EQ(StatusReads(registers()), reads);
  extension().Suspended = 0;

  registers().Behaviour().failingRequests.insert(0x05);
  PollButton(extension());
  EXPECT_EQ(Value("Button"), 0u);
  registers().Behaviour().failingRequests.clear();
  PollButton(extension());
  EXPECT_EQ(Value("Button"), 0x20u) << "the next poll reads again";

  registers().ReleaseButton();
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  const size_t streamingReads = StatusReads(registers());
  PollButton(extension());
  EXPECT_EQ(StatusReads(registers()), streamingReads);
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 0u) << "\"SnapShoot\" is 0";
  DeleteValue("SnapShoot");
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 0u) << "absent reads as -1";
}

// The real thread, waking every 100 ms of the camera's (simulated) clock.
class ButtonThread : public testing::CameraHarness {};

TEST_F(ButtonThread, PollsEvery100MsAndEndsWhenTheCameraIsNoLongerActive) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  platform::usbcamd::HW_STREAM_DESCRIPTOR streams;
  ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  SetValue("SnapShoot", 1);
  // The thread takes the request up at a wake, as the camera's time passes.
  while (SharedLoad(extension().RegistrySnapshotRequest) == 0) {
    clock().Advance(100'000);
    std::this_thread::yield();
  }

  // Its next wake finds the camera inactive, and the thread signals its end.
  CameraDeviceExtension* const active = ActiveCamera.exchange(nullptr);
  while (kernel::KeReadStateEvent(&extension().ButtonThreadExit) == 0) {
    clock().Advance(100'000);
    std::this_thread::yield();
  }
  ActiveCamera.store(active);
}

TEST_F(ButtonThread, EndsAtUninitialisationWithoutWaitingOutItsSleep) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  platform::usbcamd::HW_STREAM_DESCRIPTOR streams;
  ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  CameraDeviceExtension& device = extension();
  ASSERT_NE(device.ButtonThread, nullptr);
  const int64_t before = clock().Counter();
  ASSERT_EQ(camera().Stop(), STATUS_SUCCESS);
  EXPECT_LT(clock().Counter() - before, 1'000'000) << "ended by its stop event, not a time-out";
  EXPECT_EQ(device.ButtonThread, nullptr);
  EXPECT_EQ(kernel::KeReadStateEvent(&device.ButtonThreadExit), 1);
}

}  // namespace
}  // namespace ksv::driver
