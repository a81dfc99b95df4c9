#include "apps/ksvcam/capture_stream.h"

#include <string>

#include "apps/ksvcam/console.h"
#include "driver/button_work_item.h"
#include "platform/usbcamd/capture_replay.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {
namespace {

void Require(rig::NTSTATUS status, const std::string& step) {
  if (!platform::kernel::NT_SUCCESS(status)) throw CommandFailure(rig::RigError(step, status).what());
}

}  // namespace

CaptureStreamTotals StreamCapture(std::istream& capture, const rig::VideoFormat& format,
                                  const DeliveredFrameHandler& onFrame) {
  try {
    platform::usbcamd::CaptureReplay replay(capture);
    // The camera that was recorded answers the driver; its pipe has the
    // recording's packet size, and the packets come from the recording at
    // their recorded times.
    simcam::CameraBehaviour recorded;
    recorded.fixedPacketSize = replay.MaximumPacketSize();
    simcam::SimulatedCamera camera(recorded);
    rig::CameraRig rig({.device = &camera,
                        .maximumPacketSize = replay.MaximumPacketSize(),
                        .clock = &replay.Clock()});
    Require(rig.Start(), "starting the camera");
    Require(rig.Open(format),
            "opening the stream (packet size " + std::to_string(replay.MaximumPacketSize()) +
                "; the camera's are 128 to 1023)");
    // Count what the stream reports, not the device start.
    const uint64_t buttonWritesBefore = rig.ValueWrites(driver::kButtonValueName);

    while (replay.DeliverNext(rig.Camera())) {
      rig.RunSystemWorker();
      while (const auto frame = rig.TakeFrame()) onFrame(frame->data, frame->damaged);
    }
    CaptureStreamTotals totals;
    static_cast<rig::RigStatistics&>(totals) = rig.Statistics();
    totals.packetSize = replay.MaximumPacketSize();
    totals.statusChanges = rig.ValueWrites(driver::kButtonValueName) - buttonWritesBefore;
    return totals;
  } catch (const platform::usbcamd::CaptureFormatError& bad) {
    throw CommandFailure(bad.what());
  }
}

}  // namespace ksv::ksvcam
