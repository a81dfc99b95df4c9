#include "apps/ksvcam/terminal_escape.h"

#include <unistd.h>

#include "platform/ui/user32.h"

namespace ksv::ksvcam {

TerminalEscape::TerminalEscape() : terminal_(isatty(STDIN_FILENO) != 0) {
  if (!terminal_ || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

TerminalEscape::~TerminalEscape() {
  if (raw_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

bool TerminalEscape::Typed() {
  char byte = 0;
  bool escape = false;
  while (raw_ && read(STDIN_FILENO, &byte, 1) == 1) {
    if (byte == 0x1B) escape = true;
  }
  return escape;
}

bool TerminalEscape::Pressed() {
  if (!terminal_) return false;
  if ((GetAsyncKeyState(VK_ESCAPE) & 0x8001) != 0) return true;
  return Typed();
}

}  // namespace ksv::ksvcam
