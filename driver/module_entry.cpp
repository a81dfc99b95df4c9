// The camera driver as the machine loads it: a module whose one export is
// the entry point the class driver's loader calls. Its driver state is its
// own (it binds to its own symbols even in a program that links the driver
// too); the platform's state is the shared libraries' one.
#include "driver/routines.h"
#include "include/ksv_export.h"

extern "C" KSV_EXPORT ksv::platform::kernel::NTSTATUS DriverEntry(
    ksv::platform::kernel::DRIVER_OBJECT* driverObject, void* registryPath) {
  return ksv::driver::DriverEntry(driverObject, registryPath);
}
