// ShellExecuteA: "open" through the desktop's xdg-open, or a recorder.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/shell/shell.h"
#include "support/no_throw.h"

extern char** environ;

namespace ksv::platform::shell {
namespace {

std::mutex recorderLock;
std::function<void(const ShellCall&)> recorder;

HINSTANCE Result(intptr_t value) { return reinterpret_cast<HINSTANCE>(value); }

// Starts xdg-open on `file` and reaps it when it ends, never waiting here.
bool Open(const std::string& file) {
  const char* arguments[] = {"xdg-open", file.c_str(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0) return false;
  std::thread([child] { waitpid(child, nullptr, 0); }).detach();
  return true;
}

}  // namespace

void SetShellRecorder(std::function<void(const ShellCall&)> newRecorder) {
  std::lock_guard guard(recorderLock);
  recorder = std::move(newRecorder);
}

}  // namespace ksv::platform::shell

using namespace ksv::platform::shell;

extern "C" {

HINSTANCE ShellExecuteA(HWND /*owner*/, const char* verb, const char* file, const char* parameters,
                        const char* /*directory*/, int show) {
  return ksv::support::NoThrow<HINSTANCE>(Result(SE_ERR_OOM), [&]() -> HINSTANCE {
    const std::string action = verb != nullptr ? verb : "open";
    if (file == nullptr) return Result(SE_ERR_FNF);
    struct stat status {};
    if (::stat(file, &status) != 0) return Result(SE_ERR_FNF);
    if (action != "open") return Result(SE_ERR_NOASSOC);
    {
      std::lock_guard guard(recorderLock);
      if (recorder) {
        recorder(ShellCall{action, file, parameters != nullptr ? parameters : "", show});
        return Result(42);
      }
    }
    return Result(Open(file) ? 42 : SE_ERR_NOASSOC);
  });
}

}  // extern "C"
