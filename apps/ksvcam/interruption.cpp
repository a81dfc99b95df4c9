#include "apps/ksvcam/interruption.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace ksv::ksvcam {
namespace {

// What the handler may touch: fixed storage, written before it is
// published through `folder`.
struct Cleanup {
  std::atomic<int> folder{-1};  // an open descriptor of the temporary's folder
  char name[256] = {};          // a file name to remove, or empty
  char prefix[260] = {};        // the start of the names of others to remove
};
std::array<Cleanup, 8> cleanups;

// A process's signal lands on whichever thread it lands on, and two may be
// handled at once on two threads: a lock-free atomic is safe in a handler
// and between threads, where a volatile sig_atomic_t is only the former.
std::atomic<int> signals{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::mutex watchMutex;
int watches = 0;
struct sigaction savedInt {};
struct sigaction savedTerm {};

// Async-signal-safe: unlinkat and the raw directory read only.
void RemoveLeftovers(const Cleanup& cleanup) {
  const int folder = cleanup.folder.load();
  if (folder < 0) return;
  if (cleanup.name[0] != 0) unlinkat(folder, cleanup.name, 0);
  const size_t prefixLength = std::strlen(cleanup.prefix);
  if (prefixLength == 0) return;
  lseek(folder, 0, SEEK_SET);
  alignas(8) char buffer[4096];
  for (;;) {
    const long got = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
    if (got <= 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      if (std::strncmp(entry->d_name, cleanup.prefix, prefixLength) == 0) {
        unlinkat(folder, entry->d_name, 0);
      }
      at += entry->d_reclen;
    }
  }
}

void OnSignal(int number) {
  if (signals.fetch_add(1) + 1 < 2) return;
  for (const Cleanup& cleanup : cleanups) RemoveLeftovers(cleanup);
  // Ends the process by the signal once the handler returns.
  signal(number, SIG_DFL);
  raise(number);
}

}  // namespace

InterruptWatch::InterruptWatch() {
  const std::lock_guard lock(watchMutex);
  if (watches++ > 0) return;
  signals.store(0);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &savedInt);
  sigaction(SIGTERM, &action, &savedTerm);
}

InterruptWatch::~InterruptWatch() {
  const std::lock_guard lock(watchMutex);
  if (--watches > 0) return;
  sigaction(SIGINT, &savedInt, nullptr);
  sigaction(SIGTERM, &savedTerm, nullptr);
}

bool InterruptWatch::Requested() { return signals.load() > 0; }

AbortCleanup::AbortCleanup(const std::filesystem::path& temporary) {
  // A writer's own temporary beside it: "." + name + "." ...
  const std::string name = temporary.filename().string();
  Register(temporary.parent_path(), name, "." + name + ".");
}

AbortCleanup::AbortCleanup(const std::filesystem::path& folder, const std::string& prefix) {
  Register(folder, std::string(), prefix);
}

void AbortCleanup::Register(const std::filesystem::path& folder, const std::string& exact,
                            const std::string& prefix) {
  if (exact.size() >= sizeof(Cleanup::name) || prefix.size() >= sizeof(Cleanup::prefix)) return;
  const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
  const std::lock_guard lock(watchMutex);
  for (size_t index = 0; index < cleanups.size(); ++index) {
    Cleanup& cleanup = cleanups[index];
    if (cleanup.folder.load() >= 0) continue;
    const int fd = open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    std::memcpy(cleanup.name, exact.c_str(), exact.size() + 1);
    std::memcpy(cleanup.prefix, prefix.c_str(), prefix.size() + 1);
    cleanup.folder.store(fd);
    slot_ = static_cast<int>(index);
    return;
  }
}

AbortCleanup::~AbortCleanup() {
  if (slot_ < 0) return;
  const std::lock_guard lock(watchMutex);
  const int fd = cleanups[static_cast<size_t>(slot_)].folder.exchange(-1);
  if (fd >= 0) close(fd);
}

}  // namespace ksv::ksvcam
