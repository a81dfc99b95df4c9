// Where a subcommand talks to the person running it.
#pragma once

#include <ostream>
#include <stdexcept>

namespace ksv::ksvcam {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Results go to `out`; errors, warnings and progress to `err`. Progress is
// drawn only when `errIsTerminal`, so logs and pipes stay clean.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// The person asked for something that cannot work (exit status 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A well-formed request failed: unreadable input, bad frame, write error
// (exit status 1).
class CommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Prints `message` as the tool's one-line error.
void PrintError(Console& console, const std::string& message);

}  // namespace ksv::ksvcam
