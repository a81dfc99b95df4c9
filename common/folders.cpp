#include "common/folders.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/files/files.h"

namespace ksv::common {

namespace {

constexpr size_t kMaxChainPath = 512;

}  // namespace

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool ProbeFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string probe = WithSlash(folder) + kProbeFileName;
  // Exclusive creation: a person's own file of that name is never
  // truncated or deleted; its being there shows the folder exists.
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool CreateFolderChain(const std::string& path) {
  if (path.empty() || path.size() > kMaxChainPath) return false;
  const std::string full = WithSlash(path);
  // Each prefix that ends in "/", from the first component on; the root
  // itself ("/") is never made.
  for (size_t cut = full.find('/', 1); cut != std::string::npos; cut = full.find('/', cut + 1)) {
    const std::string prefix = full.substr(0, cut + 1);
    if (prefix.find_first_not_of('/') == std::string::npos) continue;
    if (ProbeFolder(prefix)) continue;
    if (!CreateDirectoryA(prefix.c_str(), nullptr) && !ProbeFolder(prefix)) return false;
  }
  return true;
}

std::vector<std::string> ListPlainFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((WithSlash(folder) + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

size_t DeletePlainFiles(const std::string& folder) {
  size_t failures = 0;
  for (const std::string& name : ListPlainFiles(folder)) {
    if (!DeleteFileA((WithSlash(folder) + name).c_str())) ++failures;
  }
  return failures;
}

}  // namespace ksv::common
