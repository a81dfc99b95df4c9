// The user-mode view of the registry: the predefined keys and the Win32
// calls that open keys, enumerate them and read and write their values.
//   HKEY_LOCAL_MACHINE  the machine hive, the same one the kernel's calls
//                       (kernel_registry.h) reach: a value the driver writes
//                       as "\Registry\MACHINE\Software\X" is read here under
//                       HKEY_LOCAL_MACHINE "Software\X";
//   HKEY_CLASSES_ROOT   the machine hive's "Software\Classes" (there are no
//                       per-user classes);
//   HKEY_CURRENT_USER   the current user's hive, a file of its own.
// Results are Win32 error codes.
#pragma once

#include "include/win32_errors.h"
#include "include/win32_types.h"

typedef struct KsvRegistryKey* HKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

/* Opens an existing key below `key` (ERROR_FILE_NOT_FOUND when it does not
 * exist). The handle is closed with RegCloseKey. */
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
/* Opens a key, creating it (and the keys above it) when missing;
 * *disposition tells which. */
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);

/* Reads a value (a null or empty name is the key's default value): its type
 * into *type, its bytes into data (a REG_SZ with its terminating zero), their
 * count into *dataSize. A null `data` asks for the size only; a buffer too
 * small gives ERROR_MORE_DATA with the size needed. */
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
/* Writes a REG_DWORD (exactly 4 bytes), REG_SZ (up to its first zero) or
 * REG_BINARY value. */
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);

/* The name of the index-th key right below `key`, sub-keys in name order
 * without regard to case. *nameSize holds the buffer's size in characters
 * on entry and the name's length (without its zero) on return;
 * ERROR_MORE_DATA when it does not fit, ERROR_NO_MORE_ITEMS past the last.
 * Keys carry no class name (an empty one) and no write time (zero). */
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                   char* className, DWORD* classSize, FILETIME* lastWriteTime);
/* The index-th value of `key` in name order (the default value, named "",
 * first): its name as RegEnumKeyExA gives a key's, then type and data as
 * RegQueryValueExA gives them. */
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
/* Counts and longest lengths of a key's sub-keys and values; every pointer
 * may be null. */
LONG RegQueryInfoKeyA(HKEY key, char* className, DWORD* classSize, DWORD* reserved,
                      DWORD* subKeys, DWORD* maxSubKeyLength, DWORD* maxClassLength,
                      DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                      DWORD* securityDescriptorSize, FILETIME* lastWriteTime);

/* Removes a key without sub-keys, with its values. ERROR_ACCESS_DENIED when
 * it has sub-keys (or is a hive's root), ERROR_FILE_NOT_FOUND when absent. */
LONG RegDeleteKeyA(HKEY key, const char* subKey);
/* Removes a key with everything below it; a null `subKey` removes only what
 * lies in and below `key`, keeping the key itself. */
LONG RegDeleteTreeA(HKEY key, const char* subKey);
