// A one-line progress indicator for long work, drawn on stderr and only when
// stderr is a terminal.
#pragma once

#include <cstddef>
#include <string_view>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {

class ProgressLine {
 public:
  ProgressLine(Console& console, size_t total);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Redraws the line as "[done/total] label".
  void Show(size_t done, std::string_view label);
  // Erases the line; call before printing anything else on the terminal.
  void Clear();

 private:
  Console& console_;
  size_t total_;
  bool drawn_ = false;
};

}  // namespace ksv::ksvcam
