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

}  // namespace ksv::ksvcam
