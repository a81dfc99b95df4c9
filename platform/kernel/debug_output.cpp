#include "platform/kernel/debug_output.h"

#include <cstdio>
#include <cstdlib>

extern "C" void OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  const char* wanted = std::getenv("KSV_DEBUG");
  if (wanted == nullptr || *wanted == '\0') return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}
