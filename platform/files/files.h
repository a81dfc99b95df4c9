// Stand-ins for the Win32 file services the libraries call beyond plain
// file access: temporary file names, free disk space, folders and files by
// name, the system's folders, finding files and the clock.
#pragma once

#include <cstdint>

#include "include/win32_types.h"

extern "C" {

// Makes a temporary file name in folder `path`: the folder, up to three
// characters of `prefix`, a hexadecimal number and ".TMP", written to
// `tempFileName` (at least 260 bytes). With `unique` 0 the number is chosen
// so that no such file exists, and the file is created empty to claim it;
// otherwise `unique` is used as given and nothing is created. Returns the
// number used, 0 on failure (no such folder, no name left, name too long).
UINT GetTempFileNameA(const char* path, const char* prefix, UINT unique, char* tempFileName);

// The space of the file system holding `directory` (an existing file or
// folder; null: the current folder): bytes free to this caller, total bytes
// and bytes free in all. Each out pointer may be null. FALSE when the
// folder cannot be examined.
BOOL GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesAvailable,
                         uint64_t* totalBytes, uint64_t* totalFreeBytes);

}  // extern "C"

// Folders and files by name. FALSE with the error set from errno
// (ERROR_PATH_NOT_FOUND, ERROR_ALREADY_EXISTS, ERROR_ACCESS_DENIED,
// ERROR_DIR_NOT_EMPTY...). `security` is ignored.
extern "C" {
BOOL CreateDirectoryA(const char* path, void* security);
BOOL RemoveDirectoryA(const char* path);  // only an empty folder
BOOL DeleteFileA(const char* path);       // not a folder
}

// The system's folders: the Windows folder is the system root
// (platform/root), the system folder its "system32". The length copied
// (without the zero); when `size` is too small, the size needed (with the
// zero) and nothing copied; 0 on failure.
extern "C" {
UINT GetWindowsDirectoryA(char* buffer, UINT size);
UINT GetSystemDirectoryA(char* buffer, UINT size);
// "%NAME%" replaced by the variable's value wherever NAME is set (an unset
// one is left as written). The length of the result with its zero; when
// `size` is too small, that length and nothing complete copied; 0 on failure.
DWORD ExpandEnvironmentStringsA(const char* source, char* destination, DWORD size);
}

// Finding files: FindFirstFileA takes a folder and a pattern in its last
// part ("/pictures/*.BMP"; "/" or "\" separates), where "*" stands for any
// run of characters and "?" for one, and letters match whatever their case,
// as on the platform ("*.*" matches every name, "." and ".." included).
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
#ifndef INVALID_HANDLE_VALUE  // as platform/sync defines it
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#endif

typedef struct _WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[260];
  char cAlternateFileName[14];
} WIN32_FIND_DATAA;

extern "C" {
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when nothing matches,
// ERROR_PATH_NOT_FOUND when the folder cannot be read.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
// FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found);
BOOL FindClose(HANDLE search);
}

// Times. A SYSTEMTIME is a calendar time in parts; a FILETIME counts
// 100-nanosecond intervals since 1601 (UTC for file times).
typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME;

extern "C" {
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);  // UTC
// FALSE for a time past the year 30827.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
}

namespace ksv::platform::files {
// Whether `name` matches `pattern` ("*", "?", letters of either case).
bool MatchesPattern(const char* pattern, const char* name);
}  // namespace ksv::platform::files
