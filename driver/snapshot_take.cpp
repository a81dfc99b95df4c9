#include "driver/snapshot_take.h"

#include "driver/driver_values.h"
#include "driver/module_state.h"
#include "driver/snapshot_file.h"
#include "driver/snapshot_picture.h"
#include "driver/snapshot_step.h"

namespace ksv::driver {
namespace {

// Serves the one request this snapshot answers.
void ServeRequest(CameraDeviceExtension& extension) {
  if (SharedLoad(extension.WaitingSnapshotRequest) == 1) {
    // Cleared before the waiter wakes, so a request the woken waiter's
    // caller makes at once is not wiped out by this one's clearing.
    SharedStore(extension.WaitingSnapshotRequest, uint32_t{0});
    platform::kernel::KeSetEvent(&extension.SnapshotWrittenEvent);
    return;
  }
  if (SharedExchange(extension.RegistrySnapshotRequest, uint32_t{0}) == 1) {
    SharedStore(extension.SnapshotWritten, uint32_t{1});
    WriteDriverValue("SnapShoot", 0);
    WriteDriverValue("SnapShot", 1);
    return;
  }
  if (SharedExchange(extension.ButtonSnapshotRequest, uint32_t{0}) == 1) {
    SharedStore(extension.SnapshotWritten, uint32_t{1});
    WriteDriverValue("SnapShot", 1);
  }
}

}  // namespace

void TakeSnapshot(CameraDeviceExtension& extension, std::span<const uint8_t> assembledFrame) {
  if (extension.SnapshotBuffer == nullptr) return;
  const std::span<uint8_t> buffer(extension.SnapshotBuffer, kSnapshotBufferSize);
  if (!DecodeSnapshotPicture(ModuleDecoder(), extension.DecoderContext, assembledFrame,
                             {extension.DecodeWidth, extension.DecodeHeight},
                             buffer.subspan(kSnapshotHeaderSize))) {
    return;
  }
  WriteRawSnapshotHeader(buffer.first<kSnapshotHeaderSize>());
  // Nobody is told of a file that could not be written: user mode waits for
  // "SnapShot" either way.
  (void)WriteRawSnapshot(extension, kSnapshotFileName);
  ServeRequest(extension);
}

void InstallSnapshotTaking() { InstallSnapshotStep(&TakeSnapshot); }

}  // namespace ksv::driver
