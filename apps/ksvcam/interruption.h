// Ctrl-C (SIGINT) and SIGTERM while ksvcam writes a file. While an
// InterruptWatch lives, the first signal only asks the run to stop, the
// way Escape does, so that the file is finished and put in place; a second
// removes the temporary files of every output still pending (AbortCleanup)
// and ends the process by that signal. Without a watch the signals do what
// they always do.
#pragma once

#include <filesystem>
#include <string>

namespace ksv::ksvcam {

class InterruptWatch {
 public:
  InterruptWatch();   // the first watch installs the handlers
  ~InterruptWatch();  // the last one puts the old ones back
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // A signal came since the first watch was made.
  static bool Requested();
};

// While it lives, an abort (the second signal) removes `temporary` and what
// a writer left beside it under that name ('.' + its name + '.' ...).
class AbortCleanup {
 public:
  explicit AbortCleanup(const std::filesystem::path& temporary);
  // Every file in `folder` whose name starts with `prefix`.
  AbortCleanup(const std::filesystem::path& folder, const std::string& prefix);
  ~AbortCleanup();
  AbortCleanup(const AbortCleanup&) = delete;
  AbortCleanup& operator=(const AbortCleanup&) = delete;

 private:
  void Register(const std::filesystem::path& folder, const std::string& exact,
                const std::string& prefix);

  int slot_ = -1;
};

}  // namespace ksv::ksvcam
