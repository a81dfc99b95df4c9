// The camera's kernel driver for values: a user-mode library cannot write
// the driver's registry key itself, so it hands the value to this driver
// through its device interface, and the driver writes it under
// "Software\Tarvio\KSV Drivers\" of the machine hive.
#pragma once

#include <cstdint>

#include "platform/com/guid.h"

namespace ksv::driver::values {

// The class of the driver's device interface.
inline constexpr GUID kValueInterfaceClass = ksv::com::Guid("{A16EE037-5F69-46E2-9A8F-F61F5D32B219}");
// The interface's name in its path, and the module behind it.
inline constexpr const char* kValueInterfaceName = "OKSV1VAL";
inline constexpr const char* kValueDriverModule = "oksv1val.so";

// Writes one value; no output.
inline constexpr uint32_t kWriteValueCode = 0x0022021C;
// Value types.
inline constexpr uintptr_t kValueString = 1;  // REG_SZ: `value` points to a wide string
inline constexpr uintptr_t kValueDword = 4;   // REG_DWORD: `value` is the number

// The control's input. It carries pointers, so each field is pointer-sized:
// 24 bytes on this 64-bit platform (12 where pointers take 4).
struct WriteValueInput {
  const char16_t* name;  // zero-terminated UTF-16
  uintptr_t type;        // kValueString or kValueDword
  uintptr_t value;       // the DWORD, or a const char16_t* to the text
};
static_assert(sizeof(WriteValueInput) == 3 * sizeof(void*));

}  // namespace ksv::driver::values
