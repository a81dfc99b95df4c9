// The registered camera minidriver, loaded into a class driver of its own
// for the life of the process. Each module is loaded and its entry point
// called once; a registration that names another module later in the same
// process loads that module too (into its own class driver), and cameras
// already started keep the driver they started with.
#pragma once

#include <string>

#include "platform/usbcamd/class_driver.h"

namespace ksv::platform::usbcamd {

// The class driver the registered minidriver registered itself with; null,
// with `*error` saying why, when no driver is registered, its module does
// not load or has no entry point, or the entry point failed (a failed entry
// point is not called again; a module that did not load is tried again).
ClassDriver* LoadRegisteredCameraDriver(std::string* error);

}  // namespace ksv::platform::usbcamd
