// ksvcam as a client of the media graph library (include/oksv1gra.h), as
// an application is one: a window of its own on this thread as the
// library's parent, one handle per job, and a message loop on this thread
// through which the library's 33 ms timer and graph events reach the
// callback. The subcommands over the library build a graph on a
// GraphClient's handle and Run it.
#pragma once

#include <functional>
#include <string>

#include "apps/ksvcam/console.h"
#include "include/oksv1gra.h"
#include "platform/ui/user32.h"

namespace ksv::ksvcam {

// What the library's builds need on the machine, as `setup` puts it there:
// the media framework's filters, and the simulated camera, its driver and
// the simulated microphone when no device is listed. Every subcommand over
// the library calls it first, so each works on a fresh machine.
void EnsureMediaMachine();

// Why a run ended.
enum class GraphEnd {
  Completed,  // the graph completed (every stream ended)
  Escape,     // Escape, in a window (the callback's code 1) or on the terminal
  Closed,     // the person closed the window showing the graph
  TimeUp,     // the --seconds given passed
  Signal,     // Ctrl-C (SIGINT) or SIGTERM
};

struct GraphRunLimits {
  double seconds = 0;  // on the machine's clock; 0: no limit
  // Called on every timer tick with the seconds run so far (to redraw a
  // progress line or a picture).
  std::function<void(double seconds)> onTick;
  // Whether the window showing the graph was closed.
  std::function<bool()> closed;
};

class GraphClient {
 public:
  // `parent` is the window the library's hidden window is made in; null
  // makes a hidden top-level window of ksvcam's own for it. Throws
  // CommandFailure when the library cannot make its handle.
  explicit GraphClient(HWND parent = nullptr);
  ~GraphClient();  // QMG_Reset, then the window goes
  GraphClient(const GraphClient&) = delete;
  GraphClient& operator=(const GraphClient&) = delete;

  QmgHandle* handle() const { return handle_; }

  // Fails with "cannot build <what>" unless `built` (a build's result).
  void CheckBuilt(int32_t built, const std::string& what) const;

  // Plays the built graph (QMG_Play) and pumps this thread's messages until
  // it completes, Escape is pressed (or Ctrl-C: see interruption.h), its
  // window is closed or the time is up; then stops it (QMG_Stop). Throws
  // CommandFailure when it does not run or when it stops on an error.
  // Returns the end and the seconds it ran.
  struct Outcome {
    GraphEnd end = GraphEnd::Completed;
    double seconds = 0;
  };
  Outcome Run(const GraphRunLimits& limits);

 private:
  static void Callback(int32_t code, intptr_t self);

  HWND ownWindow_ = nullptr;
  QmgHandle* handle_ = nullptr;
  bool escape_ = false;     // the callback saw code 1
  bool completed_ = false;  // the callback saw the event flag cleared
  bool aborted_ = false;    // the callback heard the graph stop on an error
  bool ticked_ = false;     // the callback saw a tick
};

// The format of `size` that the video capture device `device` streams:
// the compression of its current format (learnt from a preview graph built
// on a handle of its own) at that size. What the device does not offer
// fails the build that asks for it.
QmgVideoFormat FormatOfSize(const std::string& device, uint32_t width, uint32_t height);

// A live graph runs until Escape unless `seconds` is given: throws
// UsageError when nothing could stop it (no --seconds, stdin not a terminal
// and no window on the screen).
void CheckSomethingStopsIt(double seconds, bool windowOnScreen);

// "3.4 s".
std::string DurationText(double seconds);
// What ended a run, for summary lines: "completed", "stopped by Escape" ...
std::string EndText(GraphEnd end);

}  // namespace ksv::ksvcam
