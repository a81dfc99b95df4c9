// Folders and files by name, the system's folders and the environment's
// strings.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "include/win32_errors.h"
#include "platform/files/files.h"
#include "platform/root/system_root.h"
#include "platform/sync/sync.h"
#include "support/no_throw.h"

namespace {

DWORD ErrorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EBUSY: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC: return ERROR_DISK_FULL;
    default: return ERROR_ACCESS_DENIED;
  }
}

BOOL Done(int result) {
  if (result == 0) return TRUE;
  SetLastError(ErrorOf(errno));
  return FALSE;
}

// Copies `text` as the two folder calls do.
UINT CopyOut(const std::string& text, char* buffer, UINT size) {
  if (buffer == nullptr || size <= text.size()) return static_cast<UINT>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

std::string RootText() {
  try {
    return ksv::platform::SystemRoot().string();
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

extern "C" {

BOOL CreateDirectoryA(const char* path, void* /*security*/) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Done(::mkdir(path, 0755));
}

BOOL RemoveDirectoryA(const char* path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Done(::rmdir(path));
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat status {};
  if (::lstat(path, &status) == 0 && S_ISDIR(status.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);  // folders go with RemoveDirectoryA
    return FALSE;
  }
  if (::unlink(path) == 0) return TRUE;
  SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorOf(errno));
  return FALSE;
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  return ksv::support::NoThrow<UINT>(0u, [&]() -> UINT {
    const std::string root = RootText();
    return root.empty() ? 0 : CopyOut(root, buffer, size);
  });
}

UINT GetSystemDirectoryA(char* buffer, UINT size) {
  return ksv::support::NoThrow<UINT>(0u, [&]() -> UINT {
    const std::string root = RootText();
    return root.empty() ? 0 : CopyOut(root + "/system32", buffer, size);
  });
}

DWORD ExpandEnvironmentStringsA(const char* source, char* destination, DWORD size) {
  return ksv::support::NoThrow<DWORD>(0u, [&]() -> DWORD {
    if (source == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    std::string result;
    const std::string text = source;
    size_t at = 0;
    while (at < text.size()) {
      const size_t open = text.find('%', at);
      const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
      if (close == std::string::npos) {
        result += text.substr(at);
        break;
      }
      result += text.substr(at, open - at);
      const std::string name = text.substr(open + 1, close - open - 1);
      const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
      if (value != nullptr) {
        result += value;
        at = close + 1;
      } else {
        // Left as written; its closing "%" may open the next name.
        result += text.substr(open, close - open);
        at = close;
      }
    }
    const DWORD needed = static_cast<DWORD>(result.size() + 1);
    if (destination != nullptr && size >= needed) std::memcpy(destination, result.c_str(), needed);
    return needed;
  });
}

}  // extern "C"
