// The clock and file times in the platform's forms.
#include <sys/time.h>

#include <cstdint>
#include <cstring>
#include <ctime>

#include "platform/files/file_info.h"

namespace ksv::platform::files {
namespace {

// 100-nanosecond intervals from 1601 to 1970.
constexpr uint64_t kEpochDifference = 116444736000000000ull;
constexpr uint64_t kPerSecond = 10000000ull;

uint64_t Ticks(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

SYSTEMTIME FromParts(const tm& parts, long milliseconds) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(parts.tm_year + 1900);
  time.wMonth = static_cast<WORD>(parts.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  time.wDay = static_cast<WORD>(parts.tm_mday);
  time.wHour = static_cast<WORD>(parts.tm_hour);
  time.wMinute = static_cast<WORD>(parts.tm_min);
  time.wSecond = static_cast<WORD>(parts.tm_sec);
  time.wMilliseconds = static_cast<WORD>(milliseconds);
  return time;
}

void Now(SYSTEMTIME* time, bool local) {
  if (time == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  if (local) localtime_r(&now.tv_sec, &parts);
  else gmtime_r(&now.tv_sec, &parts);
  *time = FromParts(parts, now.tv_nsec / 1000000);
}

}  // namespace

FILETIME ToFileTime(const timespec& time) {
  if (time.tv_sec < 0) return FromTicks(kEpochDifference);
  return FromTicks(kEpochDifference + static_cast<uint64_t>(time.tv_sec) * kPerSecond +
                   static_cast<uint64_t>(time.tv_nsec) / 100);
}

void FillFindData(const char* name, const struct stat& status, WIN32_FIND_DATAA* found) {
  std::memset(found, 0, sizeof *found);
  const bool folder = S_ISDIR(status.st_mode);
  found->dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((status.st_mode & S_IWUSR) == 0) found->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
    found->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  found->ftLastWriteTime = ToFileTime(status.st_mtim);
  found->ftLastAccessTime = ToFileTime(status.st_atim);
  found->ftCreationTime = ToFileTime(status.st_ctim);  // the nearest the file system keeps
  const uint64_t size = folder ? 0 : static_cast<uint64_t>(status.st_size);
  found->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  found->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  std::strncpy(found->cFileName, name, sizeof found->cFileName - 1);
}

}  // namespace ksv::platform::files

using namespace ksv::platform::files;

extern "C" {

void GetLocalTime(SYSTEMTIME* time) { Now(time, true); }
void GetSystemTime(SYSTEMTIME* time) { Now(time, false); }

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
  if (fileTime == nullptr || systemTime == nullptr) return FALSE;
  const uint64_t ticks = Ticks(*fileTime);
  if (ticks >= 0x8000000000000000ull) return FALSE;
  // Seconds from 1970, possibly before it.
  const int64_t sinceEpoch = static_cast<int64_t>(ticks) - static_cast<int64_t>(kEpochDifference);
  int64_t seconds = sinceEpoch / static_cast<int64_t>(kPerSecond);
  int64_t rest = sinceEpoch % static_cast<int64_t>(kPerSecond);
  if (rest < 0) {
    rest += static_cast<int64_t>(kPerSecond);
    --seconds;
  }
  const time_t whole = static_cast<time_t>(seconds);
  tm parts{};
  if (gmtime_r(&whole, &parts) == nullptr || parts.tm_year + 1900 > 30827) return FALSE;
  *systemTime = FromParts(parts, static_cast<long>(rest / 10000));
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
  if (fileTime == nullptr || localFileTime == nullptr) return FALSE;
  const uint64_t ticks = Ticks(*fileTime);
  const time_t seconds = static_cast<time_t>((static_cast<int64_t>(ticks) - static_cast<int64_t>(kEpochDifference)) /
                                             static_cast<int64_t>(kPerSecond));
  tm parts{};
  if (localtime_r(&seconds, &parts) == nullptr) return FALSE;
  *localFileTime = FromTicks(ticks + static_cast<uint64_t>(static_cast<int64_t>(parts.tm_gmtoff) * static_cast<int64_t>(kPerSecond)));
  return TRUE;
}

}  // extern "C"
