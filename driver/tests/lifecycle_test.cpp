// Device start, bandwidth and the clock the frame path depends on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/camera_device_extension.h"
#include "driver/current_time.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/tests/driver_fixture.h"
#include "platform/kernel/pool.h"
#include "platform/usbcamd/class_driver.h"
#include "platform/usbcamd/ks_format.h"

namespace ksv::driver {
namespace {

__extension__ using Wide = unsigned __int128;

using platform::kernel::STATUS_SUCCESS;

TEST(CurrentTime, IsTheExactCounterInHundredNanosecondUnits) {
  for (uint64_t frequency : {uint64_t{3'579'545}, uint64_t{10'000'000}, uint64_t{3'000'000'000},
                             uint64_t{1'000'000'000}}) {
    for (uint64_t counter : {uint64_t{0}, uint64_t{1}, (uint64_t{1} << 32) - 1, uint64_t{1} << 32,
                             uint64_t{123'456'789'012'345}, uint64_t{1} << 62}) {
      const auto exact = static_cast<uint64_t>(static_cast<Wide>(counter) *
                                               10'000'000 / frequency);
      EXPECT_EQ(CounterTo100ns(counter, frequency), exact) << counter << " at " << frequency;
    }
  }
  EXPECT_EQ(CounterTo100ns(5, 0), 0u);
}

TEST(CurrentTime, NeverRunsBackwardsWhenTheCountersLowHalfWraps) {
  // A 3 GHz counter wraps its low 32 bits every 1.4 s.
  const uint64_t frequency = 3'000'000'000;
  uint64_t previous = 0;
  for (uint64_t counter = (uint64_t{5} << 32) - 3'000; counter < (uint64_t{5} << 32) + 3'000;
       counter += 300) {
    const uint64_t now = CounterTo100ns(counter, frequency);
    EXPECT_GE(now, previous) << counter;
    previous = now;
  }
}

class Bandwidth : public testing::DriverFixture {};

TEST_F(Bandwidth, TakesTheFormatAndSizesTheRawFrame) {
  EXPECT_EQ(OpenStream({320, 240}, codec::kCompressionI420, 333'333, 640), 115'840u);
  EXPECT_EQ(extension().FrameInterval, 333'333u);
  EXPECT_EQ(extension().SizeClass, 1);
  EXPECT_EQ(OpenStream({160, 120}, codec::kCompressionIYUV, 1'666'666, 1023),
            1023u * ((1023 + 30'720 + 13) / 1022));
  EXPECT_EQ(extension().SizeClass, 0);
  EXPECT_EQ(extension().DecodeHeight, 128u);
  EXPECT_EQ(extension().CompressionCode, codec::kCompressionIYUV);
}

TEST_F(Bandwidth, RefusesWhatTheFramePathCannotServe) {
  auto format = platform::usbcamd::MakeVideoFormat(352, 288, 12, codec::kCompressionI420, 0);
  uint32_t rawFrameLength = 99;
  EXPECT_EQ(CamAllocateBandwidth(nullptr, context(), &rawFrameLength, &format),
            platform::kernel::STATUS_INVALID_PARAMETER);
  EXPECT_EQ(rawFrameLength, 0u);

  format = platform::usbcamd::MakeVideoFormat(320, 240, 12, codec::kCompressionI420, -5);
  camera().Behaviour().fixedPacketSize = 64;
  EXPECT_EQ(CamAllocateBandwidth(nullptr, context(), &rawFrameLength, &format),
            platform::kernel::STATUS_NOT_SUPPORTED);
  camera().Behaviour().fixedPacketSize = 128;
  EXPECT_EQ(CamAllocateBandwidth(nullptr, context(), &rawFrameLength, &format), STATUS_SUCCESS);
  EXPECT_EQ(extension().FrameInterval, 0u) << "a negative interval streams unpaced";
}

TEST_F(Bandwidth, ResetsTheStreamingCountersAndPacing) {
  OpenStream({320, 240}, codec::kCompressionI420, 333'333);
  extension().FrameCounter = 9;
  extension().FramesDropped = 4;
  extension().PacketErrors = 2;
  extension().SkipFrame = 1;
  extension().ButtonSnapshotRequest = 1;
  At(77 * testing::kTicksPerMs);
  OpenStream({320, 240}, codec::kCompressionI420, 333'333);
  EXPECT_EQ(extension().FrameCounter, 0u);
  EXPECT_EQ(extension().FramesDropped, 0u);
  EXPECT_EQ(extension().PacketErrors, 0u);
  EXPECT_EQ(extension().SkipFrame, 0);
  EXPECT_EQ(extension().ButtonSnapshotRequest, 0u);
  EXPECT_EQ(extension().NextFrameDue, 77u * testing::kTicksPerMs);
}

TEST(DeviceLife, RegistersTheTableAndReleasesEverythingAtStop) {
  testing::UseFreshSystemRoot();
  platform::usbcamd::ClassDriver classDriver;
  ASSERT_EQ(DriverEntry(classDriver.DriverObject(), nullptr), STATUS_SUCCESS);
  EXPECT_EQ(classDriver.DeviceContextSize(), 752u);
  EXPECT_EQ(classDriver.FrameContextSize(), 4u);
  EXPECT_EQ(classDriver.DeviceData().CamProcessUSBPacket, &CamProcessUSBPacket);

  void* context = std::calloc(1, kDeviceContextSize);
  platform::usbcamd::USBD_INTERFACE_INFORMATION interface;
  int32_t dataPipe = 5;
  int32_t syncPipe = 5;
  ASSERT_EQ(CamConfigure(nullptr, context, &interface, nullptr, &dataPipe, &syncPipe),
            STATUS_SUCCESS);
  EXPECT_EQ(dataPipe, 0);
  EXPECT_EQ(syncPipe, -1);
  EXPECT_TRUE(IsActiveCamera(context));
  ASSERT_EQ(CamInitialize(nullptr, context), STATUS_SUCCESS);
  EXPECT_TRUE(ModuleDecoder().IsReady());
  auto& extension = ExtensionOf(context);
  EXPECT_EQ(extension.LastGoodFrame[kLastGoodFrameSize - 1], 0);
  EXPECT_EQ(extension.QuantTableCopy[0], codec::DriverEncoderTables()[0]);

  EXPECT_EQ(CamUnInitialize(nullptr, context), STATUS_SUCCESS);
  EXPECT_EQ(extension.AssemblyBuffer, nullptr);
  EXPECT_EQ(extension.InterfaceCopy, nullptr);
  EXPECT_FALSE(IsActiveCamera(context));
  EXPECT_FALSE(ModuleDecoder().IsReady()) << "the last camera released the decoder";
  std::free(context);
}

TEST(DeviceLife, AStartThatFailsAfterItsBuffersKeepsTheOtherCamerasDecoder) {
  testing::UseFreshSystemRoot();
  platform::usbcamd::ClassDriver classDriver;
  ASSERT_EQ(DriverEntry(classDriver.DriverObject(), nullptr), STATUS_SUCCESS);
  platform::usbcamd::USBD_INTERFACE_INFORMATION interface;
  int32_t dataPipe = 0;
  int32_t syncPipe = 0;
  void* running = std::calloc(1, kDeviceContextSize);
  ASSERT_EQ(CamConfigure(nullptr, running, &interface, nullptr, &dataPipe, &syncPipe),
            STATUS_SUCCESS);
  ASSERT_EQ(CamInitialize(nullptr, running), STATUS_SUCCESS);
  ASSERT_TRUE(ModuleDecoder().IsReady());

  void* failing = std::calloc(1, kDeviceContextSize);
  ASSERT_EQ(CamConfigure(nullptr, failing, &interface, nullptr, &dataPipe, &syncPipe),
            STATUS_SUCCESS);
  {
    // The quantisation table copy fails; the buffers after it, the frame
    // assembly buffer among them, are allocated before the start gives up.
    platform::kernel::ScopedPoolFailure firstBuffer(0);
    EXPECT_EQ(CamInitialize(nullptr, failing), platform::kernel::STATUS_INSUFFICIENT_RESOURCES);
  }
  EXPECT_EQ(ExtensionOf(failing).AssemblyBuffer, nullptr);
  EXPECT_TRUE(ModuleDecoder().IsReady()) << "the running camera keeps its decoder";
  EXPECT_EQ(CamUnInitialize(nullptr, failing), STATUS_SUCCESS);
  EXPECT_TRUE(ModuleDecoder().IsReady()) << "a start that failed counts no stop";

  EXPECT_EQ(CamUnInitialize(nullptr, running), STATUS_SUCCESS);
  EXPECT_FALSE(ModuleDecoder().IsReady());
  std::free(failing);
  std::free(running);
}

}  // namespace
}  // namespace ksv::driver
