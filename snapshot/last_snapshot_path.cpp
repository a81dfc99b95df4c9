#include "snapshot/last_snapshot_path.h"

#include <mutex>
#include <new>

namespace ksv::snapshot {
namespace {

// Callers may convert on several threads at once; the lock keeps the one
// buffer whole.
std::mutex keptLock;
std::string kept;

}  // namespace

void KeepSnapshotPath(const char* path) noexcept {
  std::lock_guard lock(keptLock);
  try {
    kept = path;
  } catch (const std::bad_alloc&) {
    kept.clear();  // a path too long to copy is not worth failing the conversion for
  }
}

std::string LastSnapshotPath() {
  std::lock_guard lock(keptLock);
  return kept;
}

}  // namespace ksv::snapshot
