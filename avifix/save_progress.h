// Progress across the saves of one fix. AVISaveA reports each save's own
// percentage to a plain function; that function finds the caller's routine
// and the pass counters here, in process-wide storage, and scales the
// percentage into the whole fix: pass k of n reports (k - 1) * 100 / n +
// p / n. Only one fix may hold the storage at a time (SaveProgressScope
// takes the process-wide lock).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "include/clipmend.h"
#include "include/win32_types.h"

namespace ksv::avifix {

// Holds the progress storage for one fix: from construction to destruction
// no other fix in the process runs. A fix started on the thread that holds
// it (from inside the progress routine) would wait for itself: it holds
// nothing and held() is false.
class SaveProgressScope {
 public:
  explicit SaveProgressScope(FixAVIProgress routine);
  ~SaveProgressScope();
  SaveProgressScope(const SaveProgressScope&) = delete;
  SaveProgressScope& operator=(const SaveProgressScope&) = delete;

  bool held() const { return hold_.owns_lock(); }

 private:
  std::unique_lock<std::mutex> hold_;
};

// Watches the free space of `folder`'s file system at every progress step
// of the saves that follow (a save that fails removes what it wrote, so
// only a look during the save sees how full it made the disk).
void WatchFreeSpace(const std::string& folder);
// The least free space seen since WatchFreeSpace (the most a uint64_t holds
// when none was seen).
uint64_t LeastFreeSpaceSeen();

// Sets the number of passes of the fix and starts the first.
void BeginPasses(int passes);
// Moves on to the next pass.
void NextPass();

// The routine handed to AVISaveA: passes the scaled percentage on; answers
// non-zero (stop) when the caller's routine answers anything but 1.
BOOL SaveProgressProc(int percent);

// The percentage the caller sees for `percent` of pass `pass` (from 1) of
// `passes`, clamped to 0..100.
int ScaledPercent(int pass, int passes, int percent);

}  // namespace ksv::avifix
