// A snapshot during `ksvcam capture`: after frame N the simulated camera's
// button is pressed (or "SnapShoot" = 1 is written, as an application asks
// for one), and the driver writes its raw snapshot file from a following
// frame. The press is released once the snapshot is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "rig/camera_rig.h"
#include "simcam/camera_registers.h"

namespace ksv::ksvcam {

enum class SnapshotTrigger { kButton, kRegistry };

struct SnapshotPlan {
  uint64_t afterFrame = 0;  // 0: no snapshot
  SnapshotTrigger via = SnapshotTrigger::kButton;
};

// Where the driver writes "snapraw.dat" under the system root. The folder is
// created, as the camera software's installation does: the driver writes
// into it but never creates it.
std::filesystem::path PrepareSnapshotFolder();

class CaptureSnapshot {
 public:
  CaptureSnapshot(const SnapshotPlan& plan, simcam::CameraRegisters& camera, rig::CameraRig& rig);

  // After each delivered frame, numbered from 1. Throws CommandFailure when
  // the driver does not take up a registry request within 2 s.
  void AfterFrame(uint64_t number);

  // The frame the driver wrote the snapshot from.
  std::optional<uint64_t> TakenFrom() const { return takenFrom_; }

 private:
  SnapshotPlan plan_;
  simcam::CameraRegisters& camera_;
  rig::CameraRig& rig_;
  bool requested_ = false;
  std::optional<uint64_t> takenFrom_;
};

}  // namespace ksv::ksvcam
