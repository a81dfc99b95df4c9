#include "apps/ksvcam/progress_line.h"

#include <string>

namespace ksv::ksvcam {

ProgressLine::ProgressLine(Console& console, size_t total) : console_(console), total_(total) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(size_t done, std::string_view label) {
  if (!console_.errIsTerminal) return;
  console_.out.flush();  // keep finished lines above the progress line
  console_.err << "\r\033[K[" << done << '/' << total_ << "] " << label << std::flush;
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  console_.err << "\r\033[K" << std::flush;
  drawn_ = false;
}

}  // namespace ksv::ksvcam
