// The file-system side of a fix: the checks on the source and the target,
// the work file an in-place fix saves into, the free-space test that tells
// a full disk from other failures, and the final swap.
#pragma once

#include <cstdint>
#include <string>

#include "include/win32_types.h"

namespace ksv::avifix {

// The fixer's last errors beside the Win32 codes: a general failure, and a
// save that failed on a nearly full disk.
inline constexpr DWORD kErrorGeneral = 204;
inline constexpr DWORD kErrorDiskFull = 222;
// The source could be moved to its test name but not back: it stays under
// that name ("AVM<hex>.TMP" in its folder).
inline constexpr DWORD kErrorSourceMoved = 2;  // ERROR_FILE_NOT_FOUND: not at its name

// A save that fails with less than this free on its disk failed for space.
inline constexpr uint64_t kDiskNearlyFullBytes = 128 * 1024;

// True when `path` names a plain file this process may read.
bool IsReadableFile(const std::string& path);

// True when both paths name one existing file (the same inode, whatever
// the spelling: links, "./", case).
bool IsSameFile(const std::string& first, const std::string& second);

// The folder holding `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// A fresh work file in `folder`, "AVI<hex>.AVI", created empty so that
// nothing else takes the name (an existing file of that name is never
// touched). Empty when the folder cannot take a new file.
std::string ClaimWorkFile(const std::string& folder);

// True when `path` names a plain file that is not read-only: some write
// permission set (as the read-only attribute marks a file whoever runs),
// and writable by this process.
bool IsWritableFile(const std::string& path);

// Whether the file at `path` may be replaced by a fix: a plain file, not
// read-only, that can be moved to another name in its folder and back.
// kMovedAway: it was moved but could not be moved back, and stays under
// the other name (never deleted).
enum class Replaceable { kYes, kNo, kMovedAway };
Replaceable CanReplace(const std::string& path);

// For tests: the call that renames files (rename(2) unless set; null
// puts it back).
using RenameCall = int (*)(const char* from, const char* to);
void UseRenameCall(RenameCall call);

// True when the file system holding `path` (a file or folder) has less
// than kDiskNearlyFullBytes free for this process, or less than `needed`
// bytes (0: not asked).
bool DiskNearlyFull(const std::string& path, uint64_t needed = 0);

// The size of the file at `path`, 0 when unknown.
uint64_t FileSize(const std::string& path);

// Puts the saved `work` file in place of `target` in one step: with the
// target's permissions, its data on disk first, then renamed over it (the
// target is never missing, not even for a moment). Returns 0, or the Win32
// error of what failed; the target is then unchanged.
DWORD ReplaceWithWorkFile(const std::string& work, const std::string& target);

// Deletes `path` if it exists; true when it is gone.
bool RemoveFile(const std::string& path);

// The Win32 error code for an errno value.
DWORD Win32ErrorOf(int error);

}  // namespace ksv::avifix
