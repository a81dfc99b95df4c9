#include "apps/ksvcam/capture_snapshot.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "apps/ksvcam/console.h"
#include "common/driver_settings.h"
#include "platform/kernel/timing.h"
#include "platform/registry/machine_hive.h"
#include "platform/root/system_root.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

// The button thread looks at "SnapShoot" every 100 ms of the camera's time;
// the limit is real time, for a driver that never looks.
constexpr auto kRequestTakeUpLimit = std::chrono::seconds(2);
constexpr int64_t kTimeStep = 100'000;  // 10 ms in 100-ns units

}  // namespace

fs::path PrepareSnapshotFolder() {
  const fs::path folder = platform::SystemRoot() / "TWAIN_32" / "Orvan" / "KSV1";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw CommandFailure("cannot create the snapshot folder '" + folder.string() +
                         "': " + error.message());
  }
  return folder;
}

CaptureSnapshot::CaptureSnapshot(const SnapshotPlan& plan, simcam::CameraRegisters& camera,
                                 rig::CameraRig& rig)
    : plan_(plan), camera_(camera), rig_(rig) {}

void CaptureSnapshot::AfterFrame(uint64_t number) {
  if (plan_.afterFrame == 0 || takenFrom_) return;
  if (requested_) {
    if (rig_.SnapshotWritten()) {
      takenFrom_ = number;
      if (plan_.via == SnapshotTrigger::kButton) camera_.ReleaseButton();
    }
    return;
  }
  if (number != plan_.afterFrame) return;
  requested_ = true;
  if (plan_.via == SnapshotTrigger::kButton) {
    camera_.PressButton();
    return;
  }
  platform::SharedMachineHive()->SetDword(std::string(common::kDriverKey), "SnapShoot", 1);
  // The camera's bus and the driver's button thread run on the simulated
  // clock. Hold the bus and let the camera's time pass until the thread has
  // seen the request, so that the next frame serves it.
  const auto start = std::chrono::steady_clock::now();
  while (!rig_.SnapshotRequestTakenUp()) {
    if (std::chrono::steady_clock::now() - start > kRequestTakeUpLimit) {
      throw CommandFailure("the driver did not take up the \"SnapShoot\" request within 2 s");
    }
    platform::kernel::KeDelayExecutionThread(-kTimeStep);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the thread's turn
  }
}

}  // namespace ksv::ksvcam
