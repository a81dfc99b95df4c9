// The camera's picture controls as a capture application sees them: each by
// name, with the range and default the driver declares in its property
// tables, read and changed through the driver's property requests. The
// driver keeps every change in the registry, so it holds for later runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/kernel/guid.h"
#include "platform/usbcamd/camera.h"

namespace ksv::ksvcam {

struct ControlDescription {
  const char* name;
  const platform::kernel::GUID* set;
  uint32_t id;
  bool hasAuto;  // the control can be automatic
};

// Every control, in the order listed.
const std::vector<ControlDescription>& CameraControlList();
// The control called `name` ("white-balance", "White_Balance" ...); throws
// UsageError naming the controls for an unknown one.
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

// "NAME=VALUE" as `capture --set` takes it. Throws UsageError.
std::pair<const ControlDescription*, int32_t> ParseControlAssignment(std::string_view text);
// A decimal value; throws UsageError.
int32_t ParseControlValue(std::string_view text);

class ControlClient {
 public:
  // `camera` is started and `header` is its stream information.
  ControlClient(platform::usbcamd::UsbCamdCamera& camera,
                const platform::usbcamd::HW_STREAM_HEADER& header)
      : camera_(camera), header_(header) {}

  // Throws CommandFailure when the driver refuses.
  ControlState Get(const ControlDescription& control);
  std::vector<ControlState> List();
  // A value outside the declared range is a UsageError naming the range.
  // `automatic` empty: manual for a control with an automatic mode.
  ControlState Set(const ControlDescription& control, int32_t value,
                   std::optional<bool> automatic = std::nullopt);

 private:
  ControlState Declared(const ControlDescription& control) const;

  platform::usbcamd::UsbCamdCamera& camera_;
  const platform::usbcamd::HW_STREAM_HEADER& header_;
};

}  // namespace ksv::ksvcam
