// The user-mode view of the machine registry: HKEY_LOCAL_MACHINE and the
// Win32 calls that open its keys and read and write their values. It reaches
// the same hive as the kernel's calls (kernel_registry.h), so a value the
// driver writes as "\Registry\MACHINE\Software\X" is read here under
// HKEY_LOCAL_MACHINE "Software\X". Results are Win32 error codes.
#pragma once

#include "include/win32_types.h"

typedef struct KsvRegistryKey* HKEY;
typedef DWORD REGSAM;

/* The one predefined key there is: the machine hive's root. */
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_CANTREAD = 1012;
inline constexpr LONG ERROR_CANTWRITE = 1013;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

/* Opens an existing key below `key` (ERROR_FILE_NOT_FOUND when it does not
 * exist). The handle is closed with RegCloseKey. */
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
/* Opens a key, creating it when missing. */
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);

/* Reads a value: its type into *type, its bytes into data (a REG_SZ with its
 * terminating zero), their count into *dataSize. A null `data` asks for the
 * size only; a buffer too small gives ERROR_MORE_DATA with the size needed. */
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
/* Writes a REG_DWORD (exactly 4 bytes) or REG_SZ value. */
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
