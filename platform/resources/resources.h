// Resources carried by modules, as Win32 reaches them: each module holds
// its own bitmaps, region data, sounds, cursors and dialog templates,
// compiled into it from the files of its folder (ksv_add_resources,
// cmake/KsvResources.cmake), and a caller finds them by the module's handle,
// the resource's type and its numeric identifier. A module without the
// resource gives null (ERROR_RESOURCE_NAME_NOT_FOUND), as on the platform.
//
// Names and types are numbers (MAKEINTRESOURCEA) or strings: a string
// "#141" is the number 141, any other string names a type such as "WAVE"
// (compared without case). Resources are read-only and live as long as the
// process; LoadResource and FreeResource do no work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "include/win32_errors.h"
#include "include/win32_types.h"

typedef struct HRSRC__* HRSRC;

#ifndef MAKEINTRESOURCEA
#define MAKEINTRESOURCEA(id) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#endif
#define RT_CURSOR MAKEINTRESOURCEA(1)
#ifndef RT_BITMAP
#define RT_BITMAP MAKEINTRESOURCEA(2)
#endif
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)

extern "C" {

// A null module is the program itself.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
// The resource's bytes as a handle for LockResource (null for a null resource).
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The first byte of the loaded resource, valid while the process lives.
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Nothing to free: resources stay with their module. FALSE, as on the platform.
BOOL FreeResource(HGLOBAL loaded);

}  // extern "C"

namespace ksv::platform::resources {

// One compiled-in resource: a numeric identifier, its type (a number, or a
// string such as "WAVE" for a type of its own) and its bytes.
struct Resource {
  uint16_t id;
  uint16_t typeId;       // 0 when the type is named
  const char* typeName;  // null when the type is a number
  const uint8_t* bytes;
  size_t size;
};

// Enters the resources of `module` (kept by pointer: they must stay as long
// as the process, as compiled-in arrays do). Installs the finder bitmaps are
// loaded through. Returns true, so that generated code can call it from a
// static initializer.
bool RegisterResources(HMODULE module, std::span<const Resource> resources);

// The bytes of the resource, empty when the module has none of that name
// and type.
std::span<const uint8_t> FindResourceBytes(HMODULE module, const char* name, const char* type);

}  // namespace ksv::platform::resources
