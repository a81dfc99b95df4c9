// FindFirstFileA and its kin over the folder's entries, matched without
// regard to case as the platform's file systems do.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "include/win32_errors.h"
#include "platform/files/files.h"
#include "platform/files/file_info.h"
#include "platform/sync/sync.h"
#include "support/no_throw.h"

namespace ksv::platform::files {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// A search in progress: the folder being read and the pattern.
struct Search {
  DIR* folder = nullptr;
  std::string path;  // the folder, with its separator
  std::string pattern;
  ~Search() {
    if (folder != nullptr) closedir(folder);
  }
};

// The next entry that matches, filled in; false at the end.
bool Next(Search& search, WIN32_FIND_DATAA* found) {
  while (dirent* entry = readdir(search.folder)) {
    if (!MatchesPattern(search.pattern.c_str(), entry->d_name)) continue;
    if (std::strlen(entry->d_name) >= sizeof found->cFileName) continue;  // a name the caller could not hold
    struct stat status {};
    if (stat((search.path + entry->d_name).c_str(), &status) != 0) continue;  // gone meanwhile
    FillFindData(entry->d_name, status, found);
    return true;
  }
  return false;
}

}  // namespace

bool MatchesPattern(const char* pattern, const char* name) {
  // "*.*" is every name, with or without a dot, as on the platform.
  if (std::strcmp(pattern, "*.*") == 0) return true;
  // Greedy matching with one point to go back to after the last "*".
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern != '\0' && Lower(*pattern) == Lower(*name))) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace ksv::platform::files

using namespace ksv::platform::files;

extern "C" {

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found) {
  return ksv::support::NoThrow<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    if (pattern == nullptr || found == nullptr || *pattern == '\0') {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
    const std::string whole = pattern;
    const size_t cut = whole.find_last_of("/\\");
    auto search = std::make_unique<Search>();
    search->path = cut == std::string::npos ? "./" : whole.substr(0, cut) + "/";
    search->pattern = cut == std::string::npos ? whole : whole.substr(cut + 1);
    search->folder = opendir(search->path.c_str());
    if (search->folder == nullptr) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    if (!Next(*search, found)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    return search.release();
  });
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* found) {
  return ksv::support::NoThrow<BOOL>(FALSE, [&]() -> BOOL {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || found == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (!Next(*static_cast<Search*>(handle), found)) {
      SetLastError(ERROR_NO_MORE_FILES);
      return FALSE;
    }
    return TRUE;
  });
}

BOOL FindClose(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<Search*>(handle);
  return TRUE;
}

}  // extern "C"
