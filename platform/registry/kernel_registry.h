// The kernel's registry calls as a driver uses them: a write of one value by
// absolute path ("\Registry\MACHINE\Software\..."), and one query that reads
// many values of a key straight into the driver's variables.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

inline constexpr uint32_t RTL_REGISTRY_ABSOLUTE = 0;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_DWORD = 4;

// Writes (creating or replacing) one value. `path` is absolute and must lie
// in the machine hive ("\Registry\Machine\", any case); anything else is
// STATUS_OBJECT_NAME_NOT_FOUND. A REG_DWORD takes exactly 4 bytes, a REG_SZ
// its text up to the first zero. STATUS_UNSUCCESSFUL when the hive cannot
// be written.
NTSTATUS RtlWriteRegistryValue(uint32_t relativeTo, const char* path, const char* valueName,
                               uint32_t valueType, const void* valueData, uint32_t valueLength);

inline constexpr uint32_t RTL_QUERY_REGISTRY_DIRECT = 0x00000020;

using PRTL_QUERY_REGISTRY_ROUTINE = NTSTATUS (*)(const char* valueName, uint32_t valueType,
                                                 const void* valueData, uint32_t valueLength,
                                                 void* context, void* entryContext);

// One entry of a query table; the table ends with an entry whose
// QueryRoutine and Name are both null.
struct RTL_QUERY_REGISTRY_TABLE {
  PRTL_QUERY_REGISTRY_ROUTINE QueryRoutine = nullptr;
  uint32_t Flags = 0;
  const char* Name = nullptr;
  void* EntryContext = nullptr;  // direct entries: where a REG_DWORD's 4 bytes go
  uint32_t DefaultType = REG_NONE;
  const void* DefaultData = nullptr;
  uint32_t DefaultLength = 0;
};

// Reads the values the table names in one query of the hive. A direct entry
// receives a REG_DWORD value's 4 bytes; when the value is absent (or not a
// REG_DWORD) its target keeps what it held, unless the entry gives a
// REG_DWORD default. Entries with a routine get each found value. A key
// that does not exist gives STATUS_OBJECT_NAME_NOT_FOUND and leaves every
// target untouched; so does a hive that cannot be read (STATUS_UNSUCCESSFUL).
NTSTATUS RtlQueryRegistryValues(uint32_t relativeTo, const char* path,
                                RTL_QUERY_REGISTRY_TABLE* queryTable, void* context,
                                void* environment);

}  // namespace ksv::platform::kernel
