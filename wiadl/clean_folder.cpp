#include "wiadl/clean_folder.h"

#include <strings.h>
#include <sys/stat.h>

#include <vector>

#include "common/folders.h"
#include "platform/files/files.h"

namespace ksv::wiadl {

namespace {

bool HasExtension(const std::string& name, const std::string& extension) {
  return name.size() >= extension.size() &&
         strcasecmp(name.c_str() + name.size() - extension.size(), extension.c_str()) == 0;
}

// The real folders directly in `root`: no "." entries, no links to
// folders elsewhere (their files are not this folder's to delete).
std::vector<std::string> Subfolders(const std::string& root) {
  std::vector<std::string> folders;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((root + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return folders;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || name == "." || name == "..") continue;
    struct stat status {};
    if (::lstat((root + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      folders.push_back(root + name + "/");
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return folders;
}

}  // namespace

void CleanFolder(const std::string& root, const std::string& extension) {
  if (root.empty()) return;
  const std::string base = root.back() == '/' ? root : root + "/";
  for (const std::string& folder : Subfolders(base)) {
    bool keep = false;
    for (const std::string& name : common::ListPlainFiles(folder)) {
      if (!extension.empty() && HasExtension(name, extension)) {
        DeleteFileA((folder + name).c_str());
      } else if (HasExtension(name, ".bmp")) {
        keep = true;
      }
    }
    if (keep) continue;
    common::DeletePlainFiles(folder);
    RemoveDirectoryA(folder.c_str());
  }
}

}  // namespace ksv::wiadl
