// Where a subcommand talks to the person running it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

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

// "1 frame", "2 frames": a count with its noun, plural when it is not 1.
std::string Counted(uint64_t count, std::string_view noun);

// Prints `message` as the tool's one-line error.
void PrintError(Console& console, const std::string& message);

// 'text', as messages name files and values.
std::string Quoted(std::string_view text);
template <class Path>
  requires std::same_as<Path, std::filesystem::path>
std::string Quoted(const Path& path) {
  return Quoted(std::string_view(path.native()));
}

// The tool's one progress indicator: a line on stderr, redrawn in place,
// drawn only when stderr is a terminal (and `enabled`), erased on the way
// out.
class ProgressLine {
 public:
  explicit ProgressLine(Console& console, size_t total = 0, bool enabled = true);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Redraws the line as "[done/total] label".
  void Show(size_t done, std::string_view label);
  // Redraws the line as `text`.
  void Draw(std::string_view text);
  // Erases the line; call before printing anything else on the terminal.
  void Clear();

 private:
  Console& console_;
  size_t total_;
  bool enabled_;
  bool drawn_ = false;
  std::string shown_;  // the text on the line while drawn_
};

}  // namespace ksv::ksvcam
