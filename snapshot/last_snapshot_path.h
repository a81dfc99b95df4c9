// The path of the last snapshot file the library was asked for, kept for the
// whole process.
#pragma once

#include <string>

namespace ksv::snapshot {

// Replaces the kept path with `path` (not null). Any length is kept whole.
void KeepSnapshotPath(const char* path) noexcept;

// The kept path; empty before the first call.
std::string LastSnapshotPath();

}  // namespace ksv::snapshot
