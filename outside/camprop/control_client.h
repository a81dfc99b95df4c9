// The camera's picture controls as a capture application sees them: each by
// name, with the range and default the driver declares in its property
// tables, read and changed through the driver's property requests. The
// driver keeps every change in the registry, so it holds for later runs.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/kernel/guid.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/property_request.h"

namespace ksv::outside::camprop {

struct ControlDescription {
  const char* name;
  const platform::kernel::GUID* set;
  uint32_t id;
  bool hasAuto;  // the control can be automatic
};

// A request the controls cannot take: an unknown name, a value outside the
// declared range, the automatic mode of a control that has none.
class BadControlRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The driver does not declare a control or refuses a request.
class DriverRefusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every control, in the order listed.
const std::vector<ControlDescription>& CameraControlList();
// The control called `name` ("white-balance", "White_Balance" ...); throws
// BadControlRequest naming the controls for an unknown one.
const ControlDescription& FindControl(std::string_view name);

struct ControlState {
  const ControlDescription* control = nullptr;
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t step = 1;
  int32_t defaultValue = 0;
  int32_t value = 0;
  bool automatic = false;
};

// How a property request reaches the driver: a get or set of (`set`, `id`)
// with the request structure `input` and the value buffer `value`.
using PropertySender = std::function<platform::usbcamd::PropertyAnswer(
    bool isSet, const platform::kernel::GUID& set, uint32_t id, std::span<const uint8_t> input,
    std::span<uint8_t> value)>;

// A property as the driver's tables declare it.
struct PropertyRange {
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t step = 1;
  int32_t defaultValue = 0;
};

// A property's get: its value, flags and capabilities (kFlagsAuto,
// kFlagsManual of property_layout.h).
struct PropertyReading {
  int32_t value = 0;
  uint32_t flags = 0;
  uint32_t capabilities = 0;
};

class ControlClient {
 public:
  // `camera` is started and `header` is its stream information.
  ControlClient(platform::usbcamd::UsbCamdCamera& camera,
                const platform::usbcamd::HW_STREAM_HEADER& header);
  // Requests go through `send` (a camera stack's, say); `header` is the
  // stream information of the camera it reaches.
  ControlClient(const platform::usbcamd::HW_STREAM_HEADER& header, PropertySender send)
      : header_(header), send_(std::move(send)) {}

  // Any property by set and id, as a capture application's property
  // interface asks for it: the declared range (none when the driver does
  // not declare it), the reading (none when the driver refuses), a set with
  // the flags given (false when refused).
  std::optional<PropertyRange> Range(const platform::kernel::GUID& set, uint32_t id) const;
  std::optional<PropertyReading> Read(const platform::kernel::GUID& set, uint32_t id);
  bool Write(const platform::kernel::GUID& set, uint32_t id, int32_t value, uint32_t flags);

  // Throw DriverRefusal when the driver refuses.
  ControlState Get(const ControlDescription& control);
  std::vector<ControlState> List();
  // A value outside the declared range is a BadControlRequest naming the
  // range. `automatic` empty: manual for a control with an automatic mode.
  ControlState Set(const ControlDescription& control, int32_t value,
                   std::optional<bool> automatic = std::nullopt);

 private:
  ControlState Declared(const ControlDescription& control) const;

  const platform::usbcamd::HW_STREAM_HEADER& header_;
  PropertySender send_;
};

}  // namespace ksv::outside::camprop
