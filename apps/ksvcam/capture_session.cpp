#include "apps/ksvcam/capture_session.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>

#include "apps/ksvcam/console.h"
#include "driver/camera_device_extension.h"
#include "driver/driver_values.h"
#include "driver/frame_tag.h"
#include "driver/routines.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/ks_format.h"
#include "simcam/camera_video.h"

namespace ksv::ksvcam {
namespace {

namespace kernel = platform::kernel;
namespace usb = platform::usbcamd;

constexpr int64_t kBusFrameTicks = 10'000;  // 1 ms in 100-ns units
// A camera that sends no frame for this long is not sending any.
constexpr uint64_t kSilentBusFrames = 10'000;

struct KnownStatus {
  kernel::NTSTATUS status;
  const char* name;
};
constexpr KnownStatus kKnownStatuses[] = {
    {kernel::STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
    {kernel::STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
    {kernel::STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
    {kernel::STATUS_DEVICE_DATA_ERROR, "STATUS_DEVICE_DATA_ERROR"},
    {kernel::STATUS_DEVICE_NOT_CONNECTED, "STATUS_DEVICE_NOT_CONNECTED"},
    {kernel::STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
    {kernel::STATUS_NO_MATCH, "STATUS_NO_MATCH"},
};

// Collects the "DriverStatus" values the driver publishes.
class StateRecorder {
 public:
  explicit StateRecorder(std::vector<uint32_t>& states) : states_(states) {
    driver::InstallDriverValueWriter(&Record, this);
  }
  ~StateRecorder() { driver::InstallDriverValueWriter(nullptr, nullptr); }
  StateRecorder(const StateRecorder&) = delete;
  StateRecorder& operator=(const StateRecorder&) = delete;

 private:
  static void Record(void* user, std::string_view name, uint32_t value) {
    if (name == "DriverStatus") static_cast<StateRecorder*>(user)->states_.push_back(value);
  }
  std::vector<uint32_t>& states_;
};

void Require(kernel::NTSTATUS status, const std::string& step) {
  if (kernel::NT_SUCCESS(status)) return;
  throw CommandFailure(step + " failed with " + StatusText(status));
}

std::unique_ptr<simcam::Scene> SceneFor(const CaptureSettings& settings) {
  if (settings.photos.empty()) return simcam::TestPatternScene();
  return simcam::PhotoScene(settings.photos);
}

}  // namespace

std::string StatusText(int32_t status) {
  char text[64];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  for (const KnownStatus& known : kKnownStatuses) {
    if (known.status == status) return std::string(text) + " (" + known.name + ")";
  }
  return text;
}

CaptureReport RunCapture(const CaptureSettings& settings, const CapturedFrameHandler& onFrame) {
  CaptureReport report;
  StateRecorder states(report.driverStates);
  kernel::SimulatedPerformanceCounter clock(10'000'000, 0, true);
  kernel::ScopedPerformanceCounter useClock(clock);

  usb::ClassDriver classDriver;
  Require(driver::DriverEntry(classDriver.DriverObject(), nullptr), "loading the driver");
  simcam::CameraRegisters registers(settings.camera);
  const std::unique_ptr<simcam::Scene> scene = SceneFor(settings);
  simcam::CameraVideo video(registers, *scene, settings.cameraFramesPerSecond);
  usb::UsbCamdCamera camera(classDriver, 0, &registers);

  if (settings.snapshot.afterFrame != 0) PrepareSnapshotFolder();
  Require(camera.Start(), "starting the camera (configure, initialise)");
  usb::HW_STREAM_DESCRIPTOR streams;
  Require(camera.GetStreamInfo(streams), "asking for the stream information");
  ControlClient controls(camera, streams.StreamHeader);
  for (const auto& [control, value] : settings.controls) controls.Set(*control, value);
  const auto format = usb::MakeVideoFormat(
      static_cast<int32_t>(settings.size.width), static_cast<int32_t>(settings.size.height),
      settings.bitCount, settings.compression, settings.interval);
  Require(camera.OpenStream(format), "opening the stream (allocating bandwidth, starting capture)");
  report.packetSize = registers.PacketSize();
  report.alternateSetting = registers.AlternateSetting();
  CaptureSnapshot snapshot(settings.snapshot, registers,
                           driver::ExtensionOf(camera.DeviceContext()));

  const auto start = std::chrono::steady_clock::now();
  uint64_t silent = 0;
  while (report.delivered < settings.frames) {
    clock.Advance(kBusFrameTicks);
    simcam::IsoPacket& packet = video.NextPacket();
    camera.ReceivePacket(packet.status, packet.bytes);
    kernel::RunQueuedWorkItems();  // the system worker's turn
    ++silent;
    while (camera.HasFrame() && report.delivered < settings.frames) {
      const auto frame = camera.FrontFrame();
      const bool damaged = driver::FrameTag::Read(frame.frameContext.data()).damaged;
      ++report.delivered;
      report.damaged += damaged;
      silent = 0;
      onFrame(frame.data, damaged, report.delivered);
      camera.ReleaseFrame();
      snapshot.AfterFrame(report.delivered);
    }
    if (silent > kSilentBusFrames) {
      throw CommandFailure("the camera sent no frame for " + std::to_string(kSilentBusFrames) +
                           " ms");
    }
  }
  report.streamingSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report.packets = camera.Counters().packets;
  const auto& extension = driver::ExtensionOf(camera.DeviceContext());
  report.framesSeen = extension.FramesSeen;
  report.framesDropped = extension.FramesDropped;
  report.notDecoded = extension.DecodeFailures;
  report.snapshotFrame = snapshot.TakenFrom();

  Require(camera.CloseStream(), "closing the stream");
  Require(camera.Stop(), "stopping the camera");
  kernel::RunQueuedWorkItems();
  return report;
}

}  // namespace ksv::ksvcam
