// The driver's life through stream class requests, on the simulated camera:
// the published state, the stream's formats, the camera's faults, power and
// removal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "driver/camera_device_extension.h"
#include "driver/driver_pool.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/stream_description.h"
#include "driver/tests/camera_harness.h"
#include "platform/kernel/device_names.h"
#include "platform/kernel/pool.h"
#include "platform/kernel/processor.h"
#include "platform/kernel/system_thread.h"
#include "platform/usbcamd/ks_format.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
namespace usb = platform::usbcamd;
using kernel::STATUS_SUCCESS;

class DriverLife : public testing::CameraHarness {};

size_t CountCalls(const std::vector<simcam::VendorCall>& calls, uint8_t request, bool in,
                  uint16_t index) {
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const auto& call) {
    return call.request == request && call.in == in && call.index == index;
  }));
}

TEST_F(DriverLife, AWholeRunPublishesEveryStateAndGivesEverythingBack) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(Value("BulkMode"), 0u);
  EXPECT_EQ(Value("IsoMode"), 0u);
  EXPECT_EQ(Value("Button"), 0u);
  EXPECT_EQ(kernel::LiveSystemThreadCount(), 1u) << "the button thread";
  const auto links = kernel::SymbolicLinks();
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].link, "\\DosDevices\\RMC900");
  EXPECT_EQ(links[0].target, "\\Device\\RMC900");
  ASSERT_EQ(kernel::DeviceInterfaces().size(), 1u);
  EXPECT_TRUE(kernel::DeviceInterfaces()[0].enabled);
  EXPECT_EQ(kernel::DeviceInterfaces()[0].interfaceClass.Data1, 0x6BDD1FC6u);
  EXPECT_EQ(kernel::PoolUsageOfTag(kDriverPoolTag).allocations, 6u)
      << "five buffers (the last good frame kept compressed too), interface";

  usb::HW_STREAM_DESCRIPTOR streams;
  ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  EXPECT_EQ(streams.StreamHeader.NumberOfStreams, 1u);
  EXPECT_EQ(streams.StreamHeader.NumDevPropArrayEntries, 4u);
  ASSERT_EQ(streams.StreamInfo.NumberOfFormatArrayEntries, 2u);
  EXPECT_EQ(streams.StreamInfo.StreamFormatsArray[1]->VideoInfoHeader.bmiHeader.biWidth, 160);
  EXPECT_EQ(streams.StreamInfo.StreamFormatsArray[0]->ConfigCaps.MinFrameInterval, 1'666'666);
  EXPECT_EQ(Value("TimerTrigger"), 0u);

  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(Value("IsoMode"), 1u);
  EXPECT_EQ(Value("DriverStatus"), 5u);
  EXPECT_EQ(Stream(3).size(), 3u);
  ASSERT_EQ(camera().CloseStream(), STATUS_SUCCESS);
  EXPECT_EQ(Value("IsoMode"), 0u);
  EXPECT_EQ(Value("DriverStatus"), 7u);
  EXPECT_EQ(registers().AlternateSetting(), 0) << "bandwidth given back";
  ASSERT_EQ(camera().Stop(), STATUS_SUCCESS);

  EXPECT_EQ(states(), (std::vector<uint32_t>{1, 2, 3, 5, 7, 8}));
  EXPECT_EQ(Value("DriverStatus"), 8u);
  EXPECT_TRUE(kernel::SymbolicLinks().empty());
  EXPECT_FALSE(kernel::DeviceInterfaces()[0].enabled);
  EXPECT_EQ(kernel::PoolUsageOfTag(kDriverPoolTag).allocations, 0u);
  EXPECT_EQ(kernel::LiveSystemThreadCount(), 0u);
  EXPECT_FALSE(ModuleDecoder().IsReady());
}

TEST_F(DriverLife, TheSmallRangeProgramsTheEngineAndDeliversCroppedFrames) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open({160, 120}), STATUS_SUCCESS);
  EXPECT_EQ(registers().Register(0x8001), 20);
  EXPECT_EQ(registers().Register(0x8002), 16);
  EXPECT_EQ(registers().Register(0x8003), 16);
  EXPECT_EQ(registers().Register(0x8880), 3);
  EXPECT_EQ(registers().Register(0x8800), codec::DriverLevelPair(3).luminance[0]);
  EXPECT_EQ(registers().Register(0x887F), codec::DriverLevelPair(3).chrominance[63]);
  EXPECT_EQ(registers().PacketSize(), 640);
  const auto frames = Stream(2);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].size(), 28'800u);
  EXPECT_EQ(extension().DecodeFailures, 0u);
}

TEST_F(DriverLife, TheStreamStaysClosedWhileBulkWorkRunsOrTheValueIsAbsent) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  SetValue("BulkMode", 1);
  EXPECT_EQ(Open(), kernel::STATUS_INVALID_PARAMETER);
  DeleteValue("BulkMode");
  EXPECT_EQ(Open(), kernel::STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Value("DriverStatus"), 3u);
  SetValue("BulkMode", 0);
  EXPECT_EQ(Open(), STATUS_SUCCESS);
}

TEST_F(DriverLife, FormatsOutsideTheRangesDoNotOpen) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(Open({352, 288}), kernel::STATUS_INVALID_PARAMETER);
  auto format = usb::MakeVideoFormat(320, 240, 12, codec::kCompressionI420, 0);
  format.DataFormat.SubFormat.Data1 = 0x32595559;  // YUY2
  EXPECT_EQ(camera().OpenStream(format), kernel::STATUS_INVALID_PARAMETER);
  format = usb::MakeVideoFormat(320, 240, 12, codec::kCompressionI420, 0);
  format.DataFormat.FormatSize = 100;  // too short to be a video format
  EXPECT_EQ(camera().OpenStream(format), kernel::STATUS_INVALID_PARAMETER);

  ASSERT_EQ(Open(), STATUS_SUCCESS);
  usb::HW_STREAM_REQUEST_BLOCK propose;
  propose.Command = usb::SRB_PROPOSE_DATA_FORMAT;
  auto small = usb::MakeVideoFormat(160, 120, 24, 0, 0);
  propose.CommandData.OpenFormat = &small.DataFormat;
  EXPECT_EQ(camera().SendStreamRequest(propose), STATUS_SUCCESS);
  auto large = usb::MakeVideoFormat(640, 480, 12, codec::kCompressionI420, 0);
  propose.CommandData.OpenFormat = &large.DataFormat;
  EXPECT_EQ(camera().SendStreamRequest(propose), kernel::STATUS_NO_MATCH);
  usb::HW_STREAM_REQUEST_BLOCK get;
  get.Command = usb::SRB_GET_DATA_FORMAT;
  EXPECT_EQ(camera().SendStreamRequest(get), kernel::STATUS_NOT_IMPLEMENTED);
}

TEST_F(DriverLife, DataIntersectionTellsTheSizeAndFillsTheFormat) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  usb::KS_DATARANGE_VIDEO asked = *StreamRanges()[1];
  usb::STREAM_DATA_INTERSECT_INFO info;
  info.DataRange = &asked.DataRange;
  usb::HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = usb::SRB_GET_DATA_INTERSECTION;
  srb.CommandData.IntersectInfo = &info;
  EXPECT_EQ(camera().SendDeviceRequest(srb), kernel::STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(srb.ActualBytesTransferred, 192u);

  std::vector<uint8_t> buffer(192, 0xEE);
  info.DataFormatBuffer = buffer.data();
  info.SizeOfDataFormatBuffer = 191;
  EXPECT_EQ(camera().SendDeviceRequest(srb), kernel::STATUS_BUFFER_TOO_SMALL);
  info.SizeOfDataFormatBuffer = 192;
  ASSERT_EQ(camera().SendDeviceRequest(srb), STATUS_SUCCESS);
  usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
  std::memcpy(&format, buffer.data(), sizeof format);
  EXPECT_EQ(format.DataFormat.FormatSize, 192u);
  EXPECT_EQ(format.DataFormat.SampleSize, 28'800u);
  EXPECT_EQ(format.VideoInfoHeader.bmiHeader.biSizeImage, 28'800u);
  EXPECT_EQ(format.VideoInfoHeader.bmiHeader.biWidth, 160);
  EXPECT_TRUE(std::all_of(buffer.begin() + 152, buffer.end(), [](uint8_t b) { return b == 0; }));

  asked.ConfigCaps.MaxOutputSize.cx = 161;  // any difference in the capabilities
  EXPECT_EQ(camera().SendDeviceRequest(srb), kernel::STATUS_NO_MATCH);
}

TEST_F(DriverLife, ACameraThatNeverBecomesReadyFailsTheStreamAndNothingElse) {
  simcam::CameraBehaviour stuck;
  stuck.neverReady = true;
  Plug(stuck);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS) << "device start does not wait on the camera";
  EXPECT_EQ(Open(), kernel::STATUS_UNSUCCESSFUL);
  EXPECT_EQ(CountCalls(registers().Calls(), 0x06, true, 0), 300u)
      << "100 polls each: device start, entering streaming, and leaving it as the class driver "
         "frees the refused allocation";
  registers().Behaviour().neverReady = false;
  EXPECT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(Stream(1).size(), 1u);
}

TEST_F(DriverLife, BusyAnswersAreWaitedOut) {
  simcam::CameraBehaviour slow;
  slow.busyAnswers = 7;
  Plug(slow);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(Stream(1).size(), 1u);
}

TEST_F(DriverLife, AnEngineThatNeverReportsReadyIsPolled500TimesAndTheStartGoesOn) {
  simcam::CameraBehaviour engine;
  engine.engineNeverReady = true;
  Plug(engine);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(CountCalls(registers().Calls(), 0x00, true, 0x8000), 1000u)
      << "500 at allocation, 500 at capture start";
  EXPECT_TRUE(Stream(1, 200).empty()) << "the camera sends nothing without its engine";
}

TEST_F(DriverLife, RefusedAlternateSettingsStepDownAndNoneIsAnError) {
  simcam::CameraBehaviour refusing;
  refusing.refusedSettings.set(4);
  Plug(refusing);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(registers().AlternateSetting(), 3);
  EXPECT_EQ(extension().MaximumPacketSize, 512);
  EXPECT_EQ(Stream(1).size(), 1u);
  ASSERT_EQ(camera().CloseStream(), STATUS_SUCCESS);

  refusing.bandwidthCheck = 0;  // the camera cannot keep up at 3
  Plug(refusing);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(registers().AlternateSetting(), 2);
  EXPECT_EQ(extension().MaximumPacketSize, 384);
  EXPECT_EQ(Stream(1).size(), 1u);
  ASSERT_EQ(camera().CloseStream(), STATUS_SUCCESS);

  registers().Behaviour().refusedSettings.set();  // nothing but setting 0
  EXPECT_EQ(Open(), kernel::STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(extension().BandwidthAllocated, 0);
}

// The driver's own clean-up, asked directly: the class driver is not
// relied on to free a refused allocation.
TEST_F(DriverLife, ARefusedAllocationLeavesTheCameraOnSettingZeroAndOutOfStreaming) {
  const auto allocate = [&] {
    auto format = usb::MakeVideoFormat(320, 240, 12, codec::kCompressionI420, 0);
    uint32_t rawFrameLength = 7;
    const kernel::NTSTATUS status =
        CamAllocateBandwidth(nullptr, camera().DeviceContext(), &rawFrameLength, &format);
    EXPECT_EQ(rawFrameLength, 0u);
    return status;
  };
  const auto leftStreamingLast = [&] {
    const auto calls = registers().Calls();
    const auto last = std::find_if(calls.rbegin(), calls.rend(), [](const auto& call) {
      return call.request == 0xE0 || call.request == 0xE1;
    });
    return last != calls.rend() && last->request == 0xE1;
  };
  simcam::CameraBehaviour oddPackets;
  oddPackets.fixedPacketSize = 100;  // no packet size the driver can take
  Plug(oddPackets);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(allocate(), kernel::STATUS_NOT_SUPPORTED);
  EXPECT_EQ(registers().AlternateSetting(), 0);
  EXPECT_TRUE(leftStreamingLast());
  EXPECT_EQ(extension().BandwidthAllocated, 0);

  // A camera that takes no setting at all.
  simcam::CameraBehaviour refusing;
  refusing.refusedSettings.set();
  Plug(refusing);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(allocate(), kernel::STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(registers().AlternateSetting(), 0);
  EXPECT_TRUE(leftStreamingLast());

  // Setting 3 is taken, the camera cannot keep up there, and 2 is refused.
  refusing.refusedSettings.reset();
  refusing.refusedSettings.set(4);
  refusing.refusedSettings.set(2);
  refusing.bandwidthCheck = 0;
  Plug(refusing);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_NE(allocate(), STATUS_SUCCESS);
  EXPECT_EQ(registers().AlternateSetting(), 0);
  EXPECT_TRUE(leftStreamingLast());
}

TEST_F(DriverLife, AFailedVendorRequestEndsTheAllocationWithItsStatus) {
  simcam::CameraBehaviour failing;
  failing.failingRequests = {0xE0};
  Plug(failing);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(Open(), kernel::STATUS_UNSUCCESSFUL);
  EXPECT_EQ(extension().LastError, kernel::STATUS_UNSUCCESSFUL);
  registers().Behaviour().failingRequests.clear();
  EXPECT_EQ(Open(), STATUS_SUCCESS);
}

TEST_F(DriverLife, RemovalDuringStreamingStopsTheFramesAndLeavesTheSystemWorking) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  ASSERT_EQ(Stream(2).size(), 2u);
  ASSERT_EQ(camera().SurpriseRemoval(), STATUS_SUCCESS);
  EXPECT_EQ(Value("DriverStatus"), 8u);
  EXPECT_TRUE(Stream(1, 200).empty());
  EXPECT_EQ(camera().CloseStream(), kernel::STATUS_DEVICE_NOT_CONNECTED)
      << "the bandwidth cannot be given back to a camera that is gone";
  EXPECT_EQ(Value("DriverStatus"), 8u) << "a closed stream does not bring the camera back";
  EXPECT_EQ(camera().Stop(), STATUS_SUCCESS);
  EXPECT_EQ(kernel::LiveSystemThreadCount(), 0u);

  Plug();  // the camera comes back
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(Stream(1).size(), 1u);
}

TEST_F(DriverLife, PowerDownAndUpWhileStreamingAllocatesAgainAndStreamsOn) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  ASSERT_EQ(Stream(1).size(), 1u);
  ASSERT_EQ(camera().ChangePowerState(usb::PowerDeviceD3), STATUS_SUCCESS);
  EXPECT_EQ(extension().Suspended, 1);
  EXPECT_TRUE(Stream(1, 200).empty());
  ASSERT_EQ(camera().ChangePowerState(usb::PowerDeviceD0), STATUS_SUCCESS);
  EXPECT_EQ(extension().Suspended, 0);
  EXPECT_EQ(extension().CaptureStartCount, 2u);
  EXPECT_EQ(extension().BandwidthAllocated, 1) << "allocated again at the capture start";
  EXPECT_EQ(Stream(2).size(), 2u);
}

TEST_F(DriverLife, APowerQueryIsGrantedUnlessAStreamIsOpen) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  usb::HW_STREAM_REQUEST_BLOCK query;
  query.Command = usb::SRB_UNKNOWN_DEVICE_COMMAND;
  query.IrpMajorFunction = usb::IRP_MJ_POWER;
  query.IrpMinorFunction = usb::IRP_MN_QUERY_POWER;
  EXPECT_EQ(camera().SendDeviceRequest(query), STATUS_SUCCESS);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(camera().SendDeviceRequest(query), kernel::STATUS_NOT_IMPLEMENTED);
  query.IrpMinorFunction = 2;
  ASSERT_EQ(camera().CloseStream(), STATUS_SUCCESS);
  EXPECT_EQ(camera().SendDeviceRequest(query), kernel::STATUS_NOT_IMPLEMENTED);
}

TEST_F(DriverLife, AProcessorWithoutMmxOrAShortPoolRefusesTheDevice) {
  {
    kernel::ScopedProcessorWithoutMmx noMmx;
    EXPECT_EQ(camera().Start(), kernel::STATUS_INSUFFICIENT_RESOURCES);
  }
  EXPECT_EQ(kernel::PoolUsageOfTag(kDriverPoolTag).allocations, 0u);
  {
    kernel::ScopedPoolFailure thirdBuffer(3);  // interface copy, two buffers, then none
    EXPECT_EQ(camera().Start(), kernel::STATUS_INSUFFICIENT_RESOURCES);
  }
  EXPECT_EQ(kernel::PoolUsageOfTag(kDriverPoolTag).allocations, 0u);
  EXPECT_TRUE(kernel::SymbolicLinks().empty());
  EXPECT_EQ(kernel::LiveSystemThreadCount(), 0u);
  EXPECT_EQ(camera().Start(), STATUS_SUCCESS);
}

TEST_F(DriverLife, SettingsComeFromTheRegistryWithTheirDefaults) {
  SetValue("Brightness", 300);  // above its range
  SetValue("Hue", 700);
  SetValue("Auto White Balance Enable", 0);
  SetValue("White Balance", 0);
  SetValue("Gamma", 5);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  const CameraSettings& settings = extension().Settings;
  EXPECT_EQ(settings.Brightness, 128);
  EXPECT_EQ(settings.Saturation, 32) << "absent";
  EXPECT_EQ(settings.Hue, 700);
  EXPECT_EQ(extension().Firmware.Valid, 0);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(registers().Register(0x816B), 0x0B);
  EXPECT_EQ(registers().Register(0x816A), 0xBC);
  EXPECT_EQ(registers().Register(0x8169), 32);
  EXPECT_EQ(registers().Register(0x8151), 152);
  EXPECT_EQ(registers().Register(0x8153), 206);
  EXPECT_EQ(registers().Mode(), 3) << "automatic exposure only";
  EXPECT_EQ(extension().DecoderContext.gammaLevel, 5u);
}

}  // namespace
}  // namespace ksv::driver
