#include "avifix/save_progress.h"

#include <algorithm>

#include "platform/files/files.h"

namespace ksv::avifix {
namespace {

std::mutex fixLock;
// Set on the thread that holds fixLock, for as long as it holds it.
thread_local bool holdingFix = false;

// Written only by the thread holding fixLock; AVISaveA calls the progress
// routine on that same thread.
FixAVIProgress routine = nullptr;
int passCount = 1;
int currentPass = 1;
std::string watchedFolder;
uint64_t leastFree = UINT64_MAX;

}  // namespace

SaveProgressScope::SaveProgressScope(FixAVIProgress caller)
    : hold_(fixLock, std::defer_lock) {
  if (holdingFix) return;  // a fix from inside this thread's own fix
  hold_.lock();
  holdingFix = true;
  routine = caller;
  passCount = 1;
  currentPass = 1;
  watchedFolder.clear();
  leastFree = UINT64_MAX;
}

SaveProgressScope::~SaveProgressScope() {
  if (!hold_.owns_lock()) return;
  routine = nullptr;
  watchedFolder.clear();
  holdingFix = false;
}

void WatchFreeSpace(const std::string& folder) {
  watchedFolder = folder;
  leastFree = UINT64_MAX;
}

uint64_t LeastFreeSpaceSeen() { return leastFree; }

void BeginPasses(int passes) {
  passCount = std::max(passes, 1);
  currentPass = 1;
}

void NextPass() { currentPass = std::min(currentPass + 1, passCount); }

int ScaledPercent(int pass, int passes, int percent) {
  passes = std::max(passes, 1);
  pass = std::clamp(pass, 1, passes);
  percent = std::clamp(percent, 0, 100);
  return ((pass - 1) * 100 + percent) / passes;
}

BOOL SaveProgressProc(int percent) {
  uint64_t available = 0;
  if (!watchedFolder.empty() &&
      GetDiskFreeSpaceExA(watchedFolder.c_str(), &available, nullptr, nullptr)) {
    leastFree = std::min(leastFree, available);
  }
  if (routine == nullptr) return FALSE;
  return routine(ScaledPercent(currentPass, passCount, percent)) == 1 ? FALSE : TRUE;
}

}  // namespace ksv::avifix
