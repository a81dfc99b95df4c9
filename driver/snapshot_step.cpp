#include "driver/snapshot_step.h"

#include <atomic>

namespace ksv::driver {
namespace {

std::atomic<SnapshotStep> installedStep{nullptr};

}  // namespace

void InstallSnapshotStep(SnapshotStep step) { installedStep.store(step); }

bool SnapshotRequested(const CameraDeviceExtension& extension) {
  return SharedLoad(extension.WaitingSnapshotRequest) == 1 ||
         SharedLoad(extension.RegistrySnapshotRequest) == 1 ||
         SharedLoad(extension.ButtonSnapshotRequest) == 1;
}

void RunSnapshotStep(CameraDeviceExtension& extension, std::span<const uint8_t> assembledFrame) {
  if (SnapshotStep step = installedStep.load()) step(extension, assembledFrame);
}

}  // namespace ksv::driver
