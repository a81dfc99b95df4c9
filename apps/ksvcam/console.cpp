#include "apps/ksvcam/console.h"

#include <algorithm>
#include <string>

namespace ksv::ksvcam {

void PrintError(Console& console, const std::string& message) {
  // Library messages sometimes carry line breaks; a diagnostic stays one line
  // so scripts can grep it.
  std::string line = message;
  std::replace(line.begin(), line.end(), '\n', ' ');
  while (!line.empty() && line.back() == ' ') line.pop_back();
  console.out.flush();
  console.err << "ksvcam: error: " << line << '\n' << std::flush;
}

std::string Counted(uint64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

ProgressLine::ProgressLine(Console& console, size_t total, bool enabled)
    : console_(console), total_(total), enabled_(enabled && console.errIsTerminal) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(size_t done, std::string_view label) {
  if (!enabled_) return;
  Draw("[" + std::to_string(done) + "/" + std::to_string(total_) + "] " + std::string(label));
}

void ProgressLine::Draw(std::string_view text) {
  if (!enabled_) return;
  // A graph's tick comes 30 times a second; the line changes less often,
  // and redrawing it unchanged only makes it flicker.
  if (drawn_ && text == shown_) return;
  console_.out.flush();  // keep finished lines above the progress line
  console_.err << "\r\033[K" << text << std::flush;
  shown_.assign(text);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  console_.err << "\r\033[K" << std::flush;
  drawn_ = false;
}

}  // namespace ksv::ksvcam
