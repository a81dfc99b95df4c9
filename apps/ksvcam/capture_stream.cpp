#include "apps/ksvcam/capture_stream.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "apps/ksvcam/console.h"
#include "driver/button_work_item.h"
#include "driver/camera_device_extension.h"
#include "driver/driver_values.h"
#include "driver/frame_tag.h"
#include "driver/routines.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/capture_replay.h"
#include "platform/usbcamd/ks_format.h"
#include "simcam/camera_registers.h"

namespace ksv::ksvcam {
namespace {

using platform::kernel::NT_SUCCESS;
using platform::kernel::NTSTATUS;

std::string StatusText(NTSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

void Require(NTSTATUS status, const std::string& what) {
  if (!NT_SUCCESS(status)) throw CommandFailure(what + " failed with status " + StatusText(status));
}

// Counts the "Button" values the driver publishes while the stream runs.
class StatusChangeCounter {
 public:
  StatusChangeCounter() { driver::InstallDriverValueWriter(&Count, this); }
  ~StatusChangeCounter() { driver::InstallDriverValueWriter(nullptr, nullptr); }
  StatusChangeCounter(const StatusChangeCounter&) = delete;
  StatusChangeCounter& operator=(const StatusChangeCounter&) = delete;
  uint64_t changes = 0;

 private:
  static void Count(void* user, std::string_view name, uint32_t) {
    if (name == driver::kButtonValueName) ++static_cast<StatusChangeCounter*>(user)->changes;
  }
};

void TakeTotals(const driver::CameraDeviceExtension& extension, CaptureStreamTotals& totals) {
  totals.framesSeen = extension.FramesSeen;
  totals.framesDropped = extension.FramesDropped;
  totals.notDecoded = extension.DecodeFailures;
  totals.oversized = extension.OversizedFrames;
  totals.truncated = extension.TruncatedPassThroughFrames;
}

}  // namespace

CaptureStreamTotals StreamCapture(std::istream& capture, const CaptureStreamFormat& format,
                                  const DeliveredFrameHandler& onFrame) {
  try {
    platform::usbcamd::CaptureReplay replay(capture);
    platform::kernel::ScopedPerformanceCounter clock(replay.Clock());
    StatusChangeCounter statusChanges;

    platform::usbcamd::ClassDriver classDriver;
    Require(driver::DriverEntry(classDriver.DriverObject(), nullptr), "registering the driver");
    // The camera that was recorded: its pipe has the recording's packet size.
    simcam::CameraBehaviour recorded;
    recorded.fixedPacketSize = replay.MaximumPacketSize();
    simcam::CameraRegisters registers(recorded);
    platform::usbcamd::UsbCamdCamera camera(classDriver, replay.MaximumPacketSize(), &registers);
    Require(camera.Start(), "starting the camera");
    Require(camera.OpenStream(platform::usbcamd::MakeVideoFormat(
                static_cast<int32_t>(format.size.width), static_cast<int32_t>(format.size.height),
                format.bitCount, format.compression, format.interval)),
            "opening the stream (packet size " + std::to_string(replay.MaximumPacketSize()) +
                "; the camera's are 128 to 1023)");
    statusChanges.changes = 0;  // count what the stream reports, not the device start

    CaptureStreamTotals totals;
    totals.packetSize = replay.MaximumPacketSize();
    while (replay.DeliverNext(camera)) {
      platform::kernel::RunQueuedWorkItems();  // the system worker's turn
      while (camera.HasFrame()) {
        const auto frame = camera.FrontFrame();
        const bool damaged = driver::FrameTag::Read(frame.frameContext.data()).damaged;
        ++totals.delivered;
        totals.damaged += damaged;
        onFrame(frame.data, damaged);
        camera.ReleaseFrame();
      }
    }
    totals.packets = replay.PacketsDelivered();
    TakeTotals(driver::ExtensionOf(camera.DeviceContext()), totals);
    totals.statusChanges = statusChanges.changes;
    return totals;
  } catch (const platform::usbcamd::CaptureFormatError& bad) {
    throw CommandFailure(bad.what());
  }
}

}  // namespace ksv::ksvcam
