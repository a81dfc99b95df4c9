// Escape typed on the terminal ksvcam runs in: the byte read from stdin
// without waiting, the terminal in raw mode while this lives. Nothing when
// stdin is not a terminal.
#pragma once

#include <termios.h>

namespace ksv::ksvcam {

class TerminalEscape {
 public:
  TerminalEscape();
  ~TerminalEscape();
  TerminalEscape(const TerminalEscape&) = delete;
  TerminalEscape& operator=(const TerminalEscape&) = delete;

  // Escape typed on the terminal since the last look.
  bool Typed();
  // That, or Escape pressed in one of the program's windows
  // (GetAsyncKeyState, which the windows layer feeds).
  bool Pressed();

 private:
  bool terminal_;
  bool raw_ = false;
  termios saved_{};
};

}  // namespace ksv::ksvcam
