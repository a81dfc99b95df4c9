// The stream class driver's requests (SRBs) as a camera minidriver receives
// them through its adapter request routine, and the structures they carry:
// the stream header and stream descriptions, the stream object with its
// hooks, data-intersection and power requests.
#pragma once

#include <cstdint>

#include "platform/kernel/guid.h"
#include "platform/kernel/kernel_types.h"
#include "platform/usbcamd/ks_format.h"

namespace ksv::platform::usbcamd {

using kernel::NTSTATUS;

enum SRB_COMMAND : uint32_t {
  // Stream requests.
  SRB_READ_DATA = 0,
  SRB_WRITE_DATA,
  SRB_GET_STREAM_STATE,
  SRB_SET_STREAM_STATE,
  SRB_SET_STREAM_PROPERTY,
  SRB_GET_STREAM_PROPERTY,
  SRB_OPEN_MASTER_CLOCK,
  SRB_INDICATE_MASTER_CLOCK,
  SRB_UNKNOWN_STREAM_COMMAND,
  SRB_SET_STREAM_RATE,
  SRB_PROPOSE_DATA_FORMAT,
  SRB_CLOSE_MASTER_CLOCK,
  SRB_PROPOSE_STREAM_RATE,
  SRB_SET_DATA_FORMAT,
  SRB_GET_DATA_FORMAT,
  SRB_BEGIN_FLUSH,
  SRB_END_FLUSH,
  // Device requests.
  SRB_GET_STREAM_INFO = 0x100,
  SRB_OPEN_STREAM,
  SRB_CLOSE_STREAM,
  SRB_OPEN_DEVICE_INSTANCE,
  SRB_CLOSE_DEVICE_INSTANCE,
  SRB_GET_DEVICE_PROPERTY,
  SRB_SET_DEVICE_PROPERTY,
  SRB_INITIALIZE_DEVICE,
  SRB_CHANGE_POWER_STATE,
  SRB_UNINITIALIZE_DEVICE,
  SRB_UNKNOWN_DEVICE_COMMAND,
  SRB_PAGING_OUT_DRIVER,
  SRB_GET_DATA_INTERSECTION,
  SRB_INITIALIZATION_COMPLETE,
  SRB_SURPRISE_REMOVAL,
};

enum KSSTATE : uint32_t { KSSTATE_STOP = 0, KSSTATE_ACQUIRE, KSSTATE_PAUSE, KSSTATE_RUN };

enum DEVICE_POWER_STATE : uint32_t {
  PowerDeviceUnspecified = 0,
  PowerDeviceD0,
  PowerDeviceD1,
  PowerDeviceD2,
  PowerDeviceD3,
};

enum KSPIN_DATAFLOW : uint32_t { KSPIN_DATAFLOW_IN = 1, KSPIN_DATAFLOW_OUT = 2 };

// A property set a device offers: its identifier and its items (the items'
// layout is the property handler's business).
struct KSPROPERTY_SET {
  const kernel::GUID* Set = nullptr;
  uint32_t PropertiesCount = 0;
  const void* PropertyItem = nullptr;
};

struct HW_STREAM_HEADER {
  uint32_t NumberOfStreams = 0;
  uint32_t SizeOfHwStreamInformation = 0;
  uint32_t NumDevPropArrayEntries = 0;
  const KSPROPERTY_SET* DevicePropertiesArray = nullptr;
  uint32_t NumDevEventArrayEntries = 0;
  const void* DeviceEventsArray = nullptr;
  const void* Topology = nullptr;
};

struct HW_STREAM_INFORMATION {
  uint32_t NumberOfPossibleInstances = 0;
  KSPIN_DATAFLOW DataFlow = KSPIN_DATAFLOW_OUT;
  int32_t DataAccessible = 0;
  uint32_t NumberOfFormatArrayEntries = 0;
  const KS_DATARANGE_VIDEO* const* StreamFormatsArray = nullptr;
  uint32_t NumStreamPropArrayEntries = 0;
  const KSPROPERTY_SET* StreamPropertiesArray = nullptr;
  uint32_t NumStreamEventArrayEntries = 0;
  const void* StreamEventsArray = nullptr;
  const kernel::GUID* Category = nullptr;
  const kernel::GUID* Name = nullptr;
  uint32_t MediumsCount = 0;
  const void* Mediums = nullptr;
  int32_t BridgeStream = 0;
};

// What SRB_GET_STREAM_INFO fills: the header, then one description a stream.
struct HW_STREAM_DESCRIPTOR {
  HW_STREAM_HEADER StreamHeader;
  HW_STREAM_INFORMATION StreamInfo;  // the first of NumberOfStreams
};

struct STREAM_DATA_INTERSECT_INFO {
  uint32_t StreamNumber = 0;
  const KSDATARANGE* DataRange = nullptr;  // the range asked about
  void* DataFormatBuffer = nullptr;        // where the chosen format goes
  uint32_t SizeOfDataFormatBuffer = 0;
};

struct HW_STREAM_REQUEST_BLOCK;

// A stream's request hooks: called by the class driver with the request
// and the camera driver's device context. A control hook that completes the
// request itself sets *completed; otherwise the class driver goes on with it.
using PSTREAM_CONTROL_HOOK = void (*)(HW_STREAM_REQUEST_BLOCK* srb, void* deviceContext,
                                      bool* completed);
using PSTREAM_DATA_HOOK = void (*)(HW_STREAM_REQUEST_BLOCK* srb, void* deviceContext,
                                   bool* completed);

struct HW_STREAM_OBJECT {
  uint32_t StreamNumber = 0;
  void* HwStreamExtension = nullptr;
  PSTREAM_CONTROL_HOOK ControlHook = nullptr;  // installed at stream open
  PSTREAM_DATA_HOOK DataHook = nullptr;
};

struct HW_STREAM_REQUEST_BLOCK {
  SRB_COMMAND Command = SRB_UNKNOWN_DEVICE_COMMAND;
  NTSTATUS Status = kernel::STATUS_SUCCESS;
  void* HwDeviceExtension = nullptr;  // the class driver's device extension
  HW_STREAM_OBJECT* StreamObject = nullptr;
  // What the command carries (only the member of the command is set).
  struct {
    HW_STREAM_DESCRIPTOR* StreamBuffer = nullptr;            // SRB_GET_STREAM_INFO
    KSDATAFORMAT* OpenFormat = nullptr;                      // open, propose, set format
    KSSTATE StreamState = KSSTATE_STOP;                      // SRB_SET_STREAM_STATE
    DEVICE_POWER_STATE DeviceState = PowerDeviceUnspecified;  // SRB_CHANGE_POWER_STATE
    STREAM_DATA_INTERSECT_INFO* IntersectInfo = nullptr;     // SRB_GET_DATA_INTERSECTION
    const kernel::GUID* PropertySet = nullptr;               // device property requests
    uint32_t PropertyId = 0;
    // The property's request structure (its KSPROPERTY header and what the
    // set adds, such as a stream index) and the value buffer.
    const void* PropertyInput = nullptr;
    uint32_t PropertyInputSize = 0;
    void* PropertyValue = nullptr;
    uint32_t PropertyValueSize = 0;
  } CommandData;
  uint32_t NumberOfBytesToTransfer = 0;  // size of the command's buffer
  uint32_t ActualBytesTransferred = 0;
  // SRB_UNKNOWN_DEVICE_COMMAND: the request packet's function codes.
  uint8_t IrpMajorFunction = 0;
  uint8_t IrpMinorFunction = 0;
  bool Completed = false;  // set by the completion notification
};

inline constexpr uint8_t IRP_MJ_POWER = 22;
inline constexpr uint8_t IRP_MN_QUERY_POWER = 3;

// A minidriver's adapter request routine.
using PHW_RECEIVE_DEVICE_SRB = void (*)(HW_STREAM_REQUEST_BLOCK* srb);

enum STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE : uint32_t { DeviceRequestComplete = 1 };
enum STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE : uint32_t { StreamRequestComplete = 1 };

// Completes a device request (marks it completed with its status).
void StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE type,
                                   void* hwDeviceExtension, HW_STREAM_REQUEST_BLOCK* srb);
void StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE type,
                                   HW_STREAM_OBJECT* streamObject, HW_STREAM_REQUEST_BLOCK* srb);

}  // namespace ksv::platform::usbcamd
