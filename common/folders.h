// Folder routines shared by the user-mode libraries: whether a folder can
// be written, making a chain of folders, and the plain files of a folder.
#pragma once

#include <string>
#include <vector>

namespace ksv::common {

// `folder` with a trailing "/" (an empty one becomes "/").
std::string WithSlash(std::string folder);

// The file a folder probe creates and deletes again.
inline constexpr const char* kProbeFileName = "12345678.tmp";

// True when `folder` exists and can be written: "12345678.tmp" is created
// there only when no such file exists (and deleted again at once); a file
// of that name already there is never opened, and means the folder exists.
bool ProbeFolder(const std::string& folder);

// Makes every missing folder along `path` (up to 512 characters; a trailing
// "/" is added when missing): each successive prefix ending in "/" is
// probed and created when the probe fails. False for an empty or too long
// path, or when a level can be neither probed nor created.
bool CreateFolderChain(const std::string& path);

// The names of the plain files directly in `folder` (no folders, no
// "." entries), sorted. Empty for a missing folder.
std::vector<std::string> ListPlainFiles(const std::string& folder);

// Deletes every plain file directly in `folder`; folders in it are left
// alone and a missing folder is not an error. Returns the number of files
// that could not be deleted.
size_t DeletePlainFiles(const std::string& folder);

}  // namespace ksv::common
