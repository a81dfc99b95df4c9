// The camera's own property set: every request carries a CameraPropertyData
// record. Gets answer the mode indicator or wait for a snapshot; sets pass a
// vendor request through to the camera.
#include <array>

#include "driver/camera_requests.h"
#include "driver/device_property.h"
#include "driver/driver_values.h"
#include "driver/property_layout.h"
#include "driver/property_tables.h"
#include "platform/kernel/event.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
namespace record = property_layout::camera_property_data;
using kernel::STATUS_BUFFER_TOO_SMALL;
using kernel::STATUS_INVALID_PARAMETER;
using kernel::STATUS_NOT_SUPPORTED;
using kernel::STATUS_SUCCESS;

constexpr int64_t kSnapshotWait = 30'000'000;  // 3 s in 100-ns units
constexpr uint32_t kVendorReadBuffer = 4;

void AnswerResult(const PropertyRequest& request, uint32_t result) {
  support::StoreLe32(request.value, record::kResult, result);
  *request.bytesReturned = record::kSize;
}

// Waits for the frame path to write the next frame as a snapshot. The
// event is cleared first, so an earlier snapshot does not end the wait; a
// request that timed out is withdrawn, so no later frame answers it.
void WaitForSnapshot(CameraDeviceExtension& extension) {
  kernel::KeResetEvent(&extension.SnapshotWrittenEvent);
  SharedStore(extension.WaitingSnapshotRequest, uint32_t{1});
  if (kernel::KeWaitForSingleObject(&extension.SnapshotWrittenEvent, kSnapshotWait) ==
      kernel::STATUS_TIMEOUT) {
    SharedStore(extension.WaitingSnapshotRequest, uint32_t{0});
  }
}

NTSTATUS VendorRead(CameraDeviceExtension& extension, const PropertyRequest& request) {
  const uint16_t length = support::LoadLe16(request.value, record::kLength);
  // The answer lands in a 4-byte buffer; a longer read would run past it.
  if (length > kVendorReadBuffer) return STATUS_INVALID_PARAMETER;
  std::array<uint8_t, kVendorReadBuffer> answer{};
  ReadCameraVendor(extension,
                   static_cast<uint8_t>(support::LoadLe16(request.value, record::kRequest)),
                   support::LoadLe16(request.value, record::kValue),
                   support::LoadLe16(request.value, record::kIndex), answer.data(), length);
  WriteDriverValue("VCR", support::LoadLe32(answer, 0));
  return STATUS_SUCCESS;
}

NTSTATUS VendorWrite(CameraDeviceExtension& extension, const PropertyRequest& request) {
  SendCameraRequest(extension,
                    static_cast<uint8_t>(support::LoadLe16(request.value, record::kRequest)),
                    support::LoadLe16(request.value, record::kValue),
                    support::LoadLe16(request.value, record::kIndex));
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS HandleCameraRecord(CameraDeviceExtension& extension, const PropertyRequest& request) {
  const bool handled = request.isSet ? request.id == camera_property::kVendorRead ||
                                           request.id == camera_property::kVendorWrite
                                     : request.id == camera_property::kModeIndicator ||
                                           request.id == camera_property::kWaitForSnapshot;
  if (!handled) return STATUS_NOT_SUPPORTED;
  if (request.value.size() < record::kSize) return STATUS_BUFFER_TOO_SMALL;
  switch (request.id) {
    case camera_property::kModeIndicator:
      AnswerResult(request, SharedLoad(extension.ModeIndicator));
      return STATUS_SUCCESS;
    case camera_property::kWaitForSnapshot:
      WaitForSnapshot(extension);
      AnswerResult(request, 1);
      return STATUS_SUCCESS;
    case camera_property::kVendorRead:
      return VendorRead(extension, request);
    default:
      return VendorWrite(extension, request);
  }
}

}  // namespace ksv::driver
