// The adapter request routine: every device request of the stream class
// driver comes here first, and the stream's control hook sees every stream
// request. What the driver does not finish itself goes on to the class
// driver.
#include "driver/button_thread.h"
#include "driver/current_time.h"
#include "driver/driver_status.h"
#include "driver/driver_values.h"
#include "driver/lifecycle_steps.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/stream_description.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
namespace usb = platform::usbcamd;
using kernel::STATUS_DEVICE_DATA_ERROR;
using kernel::STATUS_INVALID_PARAMETER;
using kernel::STATUS_NO_MATCH;
using kernel::STATUS_NOT_IMPLEMENTED;
using kernel::STATUS_NOT_SUPPORTED;
using kernel::STATUS_SUCCESS;

void Complete(usb::HW_STREAM_REQUEST_BLOCK* srb, NTSTATUS status) {
  srb->Status = status;
  usb::StreamClassDeviceNotification(usb::DeviceRequestComplete, srb->HwDeviceExtension, srb);
}

void CompleteStream(usb::HW_STREAM_REQUEST_BLOCK* srb, NTSTATUS status, bool* completed) {
  srb->Status = status;
  usb::StreamClassStreamNotification(usb::StreamRequestComplete, srb->StreamObject, srb);
  *completed = true;
}

void ClassDriverProcesses(usb::HW_STREAM_REQUEST_BLOCK* srb) {
  usb::USBCAMD_AdapterReceivePacket(srb, &DeviceData(), nullptr, true);
}

const usb::KS_DATAFORMAT_VIDEOINFOHEADER& VideoFormat(const usb::KSDATAFORMAT* format) {
  return reinterpret_cast<const usb::KS_DATAFORMAT_VIDEOINFOHEADER&>(*format);
}

void OpenStream(CameraDeviceExtension& extension, usb::HW_STREAM_REQUEST_BLOCK* srb) {
  if (srb->StreamObject != nullptr) {
    srb->StreamObject->ControlHook = StreamControlHook;
    srb->StreamObject->DataHook = StreamDataHook;
  }
  int32_t bulkMode = -1;
  int32_t isoMode = -1;
  ReadDriverValues({{"BulkMode", &bulkMode}, {"IsoMode", &isoMode}});
  const usb::KSDATAFORMAT* format = srb->CommandData.OpenFormat;
  // Absent reads as -1: without the value no stream opens either.
  if (MatchingRange(format) == nullptr || bulkMode != 0) {
    Complete(srb, STATUS_INVALID_PARAMETER);
    return;
  }
  ClassDriverProcesses(srb);
  if (!kernel::NT_SUCCESS(srb->Status)) return;
  WriteDriverValue("IsoMode", 1);
  SetDriverState(&extension, kStreamOpen);
  extension.StreamOpen = 1;
  const auto& bitmap = VideoFormat(format).VideoInfoHeader.bmiHeader;
  extension.OpenWidth = static_cast<uint32_t>(bitmap.biWidth);
  extension.OpenHeight = static_cast<uint32_t>(bitmap.biHeight);
}

void CloseStream(CameraDeviceExtension& extension, usb::HW_STREAM_REQUEST_BLOCK* srb) {
  ClassDriverProcesses(srb);
  if (IsActiveCamera(&extension)) WriteDriverValue("IsoMode", 0);
  extension.StreamOpen = 0;
  if (SharedLoad(extension.StateNumber) != kCameraRemoved) {
    SetDriverState(&extension, kStreamClosed);
  }
}

void UninitializeDevice(CameraDeviceExtension& extension, usb::HW_STREAM_REQUEST_BLOCK* srb) {
  ClassDriverProcesses(srb);
  SetDriverState(&extension, kCameraRemoved);
  RemoveDeviceNames(extension);
  StopButtonThread(extension);
}

void UnknownCommand(CameraDeviceExtension& extension, usb::HW_STREAM_REQUEST_BLOCK* srb) {
  ClassDriverProcesses(srb);
  // A power query the class driver does not know is granted unless a
  // stream is open.
  if (srb->Status == STATUS_NOT_IMPLEMENTED && srb->IrpMajorFunction == usb::IRP_MJ_POWER &&
      srb->IrpMinorFunction == usb::IRP_MN_QUERY_POWER &&
      SharedLoad(extension.StateNumber) != kStreamOpen) {
    srb->Status = STATUS_SUCCESS;
  }
}

}  // namespace

void AdapterReceivePacket(usb::HW_STREAM_REQUEST_BLOCK* srb) {
  void* context = usb::USBCAMD_GET_DEVICE_CONTEXT(srb->HwDeviceExtension);
  if (context == nullptr) {
    Complete(srb, STATUS_INVALID_PARAMETER);
    return;
  }
  CameraDeviceExtension& extension = ExtensionOf(context);
  switch (srb->Command) {
    case usb::SRB_GET_STREAM_INFO: {
      ActiveCamera.store(&extension, std::memory_order_release);
      const NTSTATUS status = FillStreamInformation(*srb);
      extension.ClassDeviceExtension = srb->HwDeviceExtension;
      WriteDriverValue("TimerTrigger", 0);
      if (!kernel::NT_SUCCESS(status)) {
        Complete(srb, status);
        return;
      }
      ClassDriverProcesses(srb);
      return;
    }
    case usb::SRB_OPEN_STREAM:
      OpenStream(extension, srb);
      return;
    case usb::SRB_CLOSE_STREAM:
      CloseStream(extension, srb);
      return;
    case usb::SRB_GET_DEVICE_PROPERTY:
    case usb::SRB_SET_DEVICE_PROPERTY:
      Complete(srb, HandleDeviceProperty(extension, *srb));
      return;
    case usb::SRB_CHANGE_POWER_STATE:
      if (srb->CommandData.DeviceState == usb::PowerDeviceD0 &&
          extension.PowerState == usb::PowerDeviceD3) {
        extension.BandwidthAllocated = 0;
      }
      extension.PowerState = srb->CommandData.DeviceState;
      ClassDriverProcesses(srb);
      return;
    case usb::SRB_UNINITIALIZE_DEVICE:
      UninitializeDevice(extension, srb);
      return;
    case usb::SRB_UNKNOWN_DEVICE_COMMAND:
      UnknownCommand(extension, srb);
      return;
    case usb::SRB_GET_DATA_INTERSECTION:
      Complete(srb, IntersectDataRange(*srb));
      return;
    case usb::SRB_SURPRISE_REMOVAL:
      ClassDriverProcesses(srb);
      SetDriverState(&extension, kCameraRemoved);
      return;
    default:
      ClassDriverProcesses(srb);
      return;
  }
}

void StreamControlHook(usb::HW_STREAM_REQUEST_BLOCK* srb, void* deviceContext, bool* completed) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  switch (srb->Command) {
    case usb::SRB_SET_STREAM_STATE:
      if (srb->CommandData.StreamState == usb::KSSTATE_STOP) {
        extension.SkipFrame = 0;
      } else if (srb->CommandData.StreamState == usb::KSSTATE_RUN) {
        extension.NextFrameDue = CurrentTime100ns();
        extension.FramesSeen = 0;
        extension.FramesDropped = 0;
        if (!IsActiveCamera(deviceContext) || extension.BandwidthAllocated == 0) {
          srb->Status = STATUS_DEVICE_DATA_ERROR;
        }
      }
      return;  // the class driver goes on either way
    case usb::SRB_PROPOSE_DATA_FORMAT:
      CompleteStream(srb,
                     MatchingRange(srb->CommandData.OpenFormat) ? STATUS_SUCCESS : STATUS_NO_MATCH,
                     completed);
      return;
    case usb::SRB_SET_DATA_FORMAT: {
      const usb::KSDATAFORMAT* format = srb->CommandData.OpenFormat;
      if (MatchingRange(format) == nullptr) {
        CompleteStream(srb, STATUS_NO_MATCH, completed);
        return;
      }
      const auto& bitmap = VideoFormat(format).VideoInfoHeader.bmiHeader;
      extension.OpenWidth = static_cast<uint32_t>(bitmap.biWidth);
      extension.OpenHeight = static_cast<uint32_t>(bitmap.biHeight);
      CompleteStream(srb, STATUS_SUCCESS, completed);
      return;
    }
    case usb::SRB_GET_DATA_FORMAT:
      CompleteStream(srb, STATUS_NOT_IMPLEMENTED, completed);
      return;
    default:
      return;
  }
}

void StreamDataHook(usb::HW_STREAM_REQUEST_BLOCK*, void*, bool*) {}

}  // namespace ksv::driver
