#include "apps/ksvcam/capture_session.h"

#include <chrono>
#include <memory>

#include "apps/ksvcam/console.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {
namespace {

std::unique_ptr<simcam::Scene> SceneFor(const CaptureSettings& settings) {
  if (settings.photos.empty()) return simcam::TestPatternScene();
  return simcam::PhotoScene(settings.photos);
}

}  // namespace

CaptureReport RunCapture(const CaptureSettings& settings, const CapturedFrameHandler& onFrame) {
  simcam::SimulatedCamera camera(settings.camera, SceneFor(settings), settings.cameraFramesPerSecond);
  rig::CameraRig rig({.device = &camera});

  if (settings.snapshot.afterFrame != 0) PrepareSnapshotFolder();
  rig::Require(rig.Start(), "starting the camera (configure, initialise, stream information)");
  outside::camprop::ControlClient controls(rig.Camera(), rig.Streams().StreamHeader);
  for (const auto& [control, value] : settings.controls) controls.Set(*control, value);
  rig::Require(rig.Open({settings.size, settings.compression, settings.bitCount, settings.interval}),
          "opening the stream (allocating bandwidth, starting capture)");
  CaptureSnapshot snapshot(settings.snapshot, camera.Registers(), rig);

  CaptureReport report;
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t delivered = 0; delivered < settings.frames; ++delivered) {
    const auto frame = rig.NextFrame();
    if (!frame) {
      throw CommandFailure("the camera sent no frame for " + std::to_string(rig::kSilentBusFrames) +
                           " ms");
    }
    onFrame(frame->data, frame->damaged, frame->number);
    snapshot.AfterFrame(frame->number);
    if (settings.stop && settings.stop()) break;
  }
  report.streamingSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report.cameraSeconds = camera.Video().WorkSeconds();
  static_cast<rig::RigStatistics&>(report) = rig.Statistics();
  report.snapshotFrame = snapshot.TakenFrom();

  rig::Require(rig.Close(), "closing the stream");
  rig::Require(rig.Stop(), "stopping the camera");
  report.driverStates = rig.DriverStates();
  return report;
}

}  // namespace ksv::ksvcam
