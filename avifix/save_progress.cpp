#include "avifix/save_progress.h"

#include <algorithm>

namespace ksv::avifix {
namespace {

std::mutex fixLock;

// Written only by the thread holding fixLock; AVISaveA calls the progress
// routine on that same thread.
FixAVIProgress routine = nullptr;
int passCount = 1;
int currentPass = 1;

}  // namespace

SaveProgressScope::SaveProgressScope(FixAVIProgress caller) : hold_(fixLock) {
  routine = caller;
  passCount = 1;
  currentPass = 1;
}

SaveProgressScope::~SaveProgressScope() { routine = nullptr; }

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
  if (routine == nullptr) return FALSE;
  return routine(ScaledPercent(currentPass, passCount, percent)) == 1 ? FALSE : TRUE;
}

}  // namespace ksv::avifix
