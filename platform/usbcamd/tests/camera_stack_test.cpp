// The camera stack with the camera driver's module (oksv1vid.so) registered
// and a simulated camera plugged in: loading, the driver's formats and
// properties, and the bus thread on simulated and real time.
#include "platform/usbcamd/camera_stack.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "platform/kernel/performance_counter.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"
#include "platform/usbcamd/property_layout.h"
#include "simcam/simulated_camera.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::platform::usbcamd {
namespace {

namespace layout = property_layout;
using kernel::STATUS_SUCCESS;

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerMillisecond = kTicksPerSecond / 1000;
constexpr uint32_t kI420Frame320 = 320 * 240 * 3 / 2;

class CameraStackTest : public ::testing::Test {
 protected:
  CameraStackTest() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    RegisterCameraDriver({KSV_CAMERA_DRIVER_MODULE, "RMC900 USB Camera"});
  }

  std::unique_ptr<CameraStack> StartStack() {
    std::string error;
    auto stack = CameraStack::Start(camera_, &error);
    EXPECT_NE(stack, nullptr) << error;
    return stack;
  }

  // The driver's 320x240 I420 format at 30 frames a second.
  static KS_DATAFORMAT_VIDEOINFOHEADER Format320(CameraStack& stack) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(stack.Intersect(*stack.Ranges()[0], bytes), STATUS_SUCCESS);
    KS_DATAFORMAT_VIDEOINFOHEADER format;
    std::memcpy(&format, bytes.data(), std::min(bytes.size(), sizeof format));
    format.DataFormat.FormatSize = sizeof format;
    format.VideoInfoHeader.AvgTimePerFrame = 333'333;
    return format;
  }

  testing::TempFolder root_;
  simcam::SimulatedCamera camera_;
};

TEST_F(CameraStackTest, StartSaysWhyWithoutAUsableDriver) {
  ASSERT_TRUE(UnregisterCameraDriver());
  EXPECT_FALSE(UnregisterCameraDriver());
  EXPECT_FALSE(RegisteredCameraDriver().has_value());
  std::string error;
  EXPECT_EQ(CameraStack::Start(camera_, &error), nullptr);
  EXPECT_NE(error.find("no camera driver is registered"), std::string::npos) << error;
  EXPECT_NE(error.find(kCameraDriverKey), std::string::npos) << error;

  const std::filesystem::path missing = root_ / "absent.so";
  RegisterCameraDriver({missing, "Absent"});
  error.clear();
  EXPECT_EQ(CameraStack::Start(camera_, &error), nullptr);
  EXPECT_NE(error.find("does not load"), std::string::npos) << error;
  EXPECT_NE(error.find(missing.string()), std::string::npos) << error;

  RegisterCameraDriver({KSV_CAMERA_DRIVER_MODULE, "RMC900 USB Camera"});
  const auto registered = RegisteredCameraDriver();
  ASSERT_TRUE(registered.has_value());
  EXPECT_EQ(registered->module, std::filesystem::path(KSV_CAMERA_DRIVER_MODULE));
  EXPECT_EQ(registered->friendlyName, "RMC900 USB Camera");
}

TEST_F(CameraStackTest, TheDriversRangesIntersectToItsFormats) {
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  EXPECT_EQ(stack->Streams().StreamHeader.NumberOfStreams, 1u);
  const auto ranges = stack->Ranges();
  ASSERT_EQ(ranges.size(), 2u);
  const struct {
    int32_t width, height;
  } sizes[] = {{320, 240}, {160, 120}};
  for (size_t i = 0; i < ranges.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& bitmap = ranges[i]->VideoInfoHeader.bmiHeader;
    EXPECT_EQ(bitmap.biWidth, sizes[i].width);
    EXPECT_EQ(bitmap.biHeight, sizes[i].height);
    EXPECT_EQ(ranges[i]->DataRange.SubFormat, MEDIASUBTYPE_I420);

    std::vector<uint8_t> bytes(7, 0xEE);  // replaced, not appended to
    ASSERT_EQ(stack->Intersect(*ranges[i], bytes), STATUS_SUCCESS);
    ASSERT_EQ(bytes.size(), 192u);
    KS_DATAFORMAT_VIDEOINFOHEADER format;
    std::memcpy(&format, bytes.data(), sizeof format);
    EXPECT_EQ(format.DataFormat.FormatSize, 192u);
    EXPECT_EQ(format.VideoInfoHeader.bmiHeader.biWidth, sizes[i].width);
    const auto frameBytes = static_cast<uint32_t>(sizes[i].width * sizes[i].height * 3 / 2);
    EXPECT_EQ(format.VideoInfoHeader.bmiHeader.biSizeImage, frameBytes);
    EXPECT_EQ(format.DataFormat.SampleSize, frameBytes);
  }

  KS_DATARANGE_VIDEO other = *ranges[0];
  other.DataRange.SubFormat = KSDATAFORMAT_SPECIFIER_VIDEOINFO;  // no such subtype
  std::vector<uint8_t> none{1, 2, 3};
  EXPECT_EQ(stack->Intersect(other, none), kernel::STATUS_NO_MATCH);
  EXPECT_TRUE(none.empty());
}

TEST_F(CameraStackTest, BrightnessRoundTripsThroughTheDriver) {
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  const auto& amp = PROPSETID_VIDCAP_VIDEOPROCAMP;
  std::vector<uint8_t> value(layout::control_value::kSize, 0);
  support::StoreLe32(value, layout::control_value::kValue, 140);
  support::StoreLe32(value, layout::control_value::kFlags, layout::kFlagsManual);
  EXPECT_EQ(stack->Property(true, amp, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, value, value).status,
            STATUS_SUCCESS);

  std::vector<uint8_t> read(layout::control_value::kSize, 0);
  const PropertyAnswer answer =
      stack->Property(false, amp, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, read, read);
  EXPECT_EQ(answer.status, STATUS_SUCCESS);
  EXPECT_EQ(answer.bytesTransferred, layout::control_value::kSize);
  EXPECT_EQ(support::LoadLeInt32(read, layout::control_value::kValue), 140);

  EXPECT_EQ(stack->Property(false, amp, 99, read, read).status, STATUS_NOT_FOUND);
}

// A reader slower than the camera: it takes each frame only once three wait
// for it. On simulated time the bus waits for it, so none is lost, and the
// frames come at the camera's 30 a second of the counter's time.
TEST_F(CameraStackTest, ASimulatedSecondBringsThirtyFramesAndLosesNone) {
  kernel::SimulatedPerformanceCounter clock(kTicksPerSecond, 0, true);
  kernel::ScopedPerformanceCounter useClock(clock);
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  const int64_t opened = clock.Counter();
  ASSERT_EQ(stack->OpenStream(Format320(*stack), 4), STATUS_SUCCESS);
  EXPECT_TRUE(stack->IsStreaming());
  EXPECT_NE(stack->OpenStream(Format320(*stack), 4), STATUS_SUCCESS) << "already open";

  std::vector<uint8_t> buffer(kI420Frame320);
  constexpr uint64_t kFrames = 30;
  for (uint64_t taken = 0; taken < kFrames; ++taken) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (stack->Counters().framesCompleted < taken + 3) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "frame " << taken;
      std::this_thread::yield();
    }
    const auto bytes = stack->ReadFrame(buffer);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, kI420Frame320);
  }
  const int64_t elapsedMs = (clock.Counter() - opened) / kTicksPerMillisecond;
  // The 30th frame ends a second in; the bus is at most the three waiting
  // frames and the one being filled ahead of the reader.
  EXPECT_GE(elapsedMs, 960);
  EXPECT_LE(elapsedMs, 1150);
  const IsochronousCounters counters = stack->Counters();
  EXPECT_EQ(counters.framesWithoutReader, 0u);
  EXPECT_LE(counters.framesCompleted, kFrames + 4);
  EXPECT_EQ(stack->CloseStream(), STATUS_SUCCESS);
  EXPECT_FALSE(stack->IsStreaming());
  EXPECT_EQ(stack->CloseStream(), STATUS_SUCCESS);
}

// A counter nobody moves: no frame ever comes, and both a waiting reader and
// the bus stop as soon as they are told to.
TEST_F(CameraStackTest, CancelAndCloseEndAWaitingRead) {
  kernel::SimulatedPerformanceCounter clock(kTicksPerSecond, 0, false);
  kernel::ScopedPerformanceCounter useClock(clock);
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  const auto format = Format320(*stack);
  std::vector<uint8_t> buffer(kI420Frame320);
  EXPECT_FALSE(stack->ReadFrame(buffer).has_value()) << "no stream";

  ASSERT_EQ(stack->OpenStream(format), STATUS_SUCCESS);
  auto cancelled = std::async(std::launch::async, [&] { return stack->ReadFrame(buffer); });
  stack->CancelRead();
  EXPECT_FALSE(cancelled.get().has_value());
  EXPECT_FALSE(stack->ReadFrame(buffer).has_value()) << "until the stream opens again";
  ASSERT_EQ(stack->CloseStream(), STATUS_SUCCESS);

  ASSERT_EQ(stack->OpenStream(format), STATUS_SUCCESS);
  auto waiting = std::async(std::launch::async, [&] { return stack->ReadFrame(buffer); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  const auto closing = std::chrono::steady_clock::now();
  EXPECT_EQ(stack->CloseStream(), STATUS_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(2));
  EXPECT_FALSE(waiting.get().has_value());
  EXPECT_EQ(stack->Counters().framesCompleted, 0u);
}

// Its owner moves the counter on; the bus follows it, a bus frame each
// millisecond, and ends with it uninstalled under the running bus.
TEST_F(CameraStackTest, TheBusFollowsACounterItsOwnerMoves) {
  auto clock = std::make_unique<kernel::SimulatedPerformanceCounter>(kTicksPerSecond, 0, false);
  auto useClock = std::make_unique<kernel::ScopedPerformanceCounter>(*clock);
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  ASSERT_EQ(stack->OpenStream(Format320(*stack)), STATUS_SUCCESS);
  std::vector<uint8_t> buffer(kI420Frame320);
  std::atomic<bool> reading = true;
  std::thread owner([&] {
    while (reading) {
      clock->Advance(kTicksPerMillisecond);
      std::this_thread::yield();
    }
  });
  const auto first = stack->ReadFrame(buffer);
  reading = false;
  owner.join();
  ASSERT_TRUE(first.has_value());
  const uint64_t packets = stack->Counters().packets;
  const int64_t moved = clock->Counter() / kTicksPerMillisecond;
  EXPECT_GE(packets, 34u) << "a frame ends a thirtieth of a second in";
  EXPECT_LE(packets, static_cast<uint64_t>(moved) + 1);
  useClock.reset();  // the bus goes on on the real counter
  EXPECT_TRUE(stack->ReadFrame(buffer).has_value());
  EXPECT_EQ(stack->CloseStream(), STATUS_SUCCESS);
}

// On the real counter the bus sleeps out each millisecond.
TEST_F(CameraStackTest, OnTheRealCounterFramesComeInRealTime) {
  auto stack = StartStack();
  ASSERT_NE(stack, nullptr);
  ASSERT_EQ(stack->OpenStream(Format320(*stack)), STATUS_SUCCESS);
  std::vector<uint8_t> buffer(kI420Frame320);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(stack->ReadFrame(buffer).has_value());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(60));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  const uint64_t packets = stack->Counters().packets;
  EXPECT_LE(packets, static_cast<uint64_t>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) +
                         40);
}

}  // namespace
}  // namespace ksv::platform::usbcamd
