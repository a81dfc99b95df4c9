// The bus's time: one bus frame a millisecond of the installed performance
// counter, read afresh before each frame (a test may install or uninstall a
// counter while the bus runs).
//
// On a real counter the bus sleeps until a transfer's worth of bus frames
// is due and then runs them back to back, as a host controller completes a
// transfer of several packets at once: waking for every millisecond would
// cost the host more than the packets do. A bus that fell far behind (a
// host that did not schedule it) skips ahead rather than sending a burst of
// frames. On a simulated counter each bus frame
// lets a millisecond pass on it: a counter whose waits advance moves on by
// itself; one that only its owner moves is looked at every real
// millisecond until the owner has moved it past the frame (an owner that
// moves it on by more gets each of those milliseconds as a bus frame).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/kernel/performance_counter.h"

namespace ksv::platform::usbcamd {

class BusClock {
 public:
  // Sleeps up to `duration` of real time, less when the bus is to stop;
  // false when it is.
  using Sleep = std::function<bool(std::chrono::nanoseconds duration)>;

  explicit BusClock(Sleep sleep) : sleep_(std::move(sleep)) {}

  // True while the installed counter is a simulated one.
  static bool IsSimulated();

  // Waits until the next bus frame is due; false when the bus is to stop.
  bool WaitForNextFrame();

  // When the bus frame now running was due, in 100-ns units of the counter
  // (the counter now before the first wait): a frame completed late in a
  // transfer still gets its own time.
  int64_t FrameTime100ns() const;
  // How far, in ticks of the installed counter, the bus frame now running
  // started after it was due (0 on a simulated counter).
  int64_t Lateness() const;
  // The bus's time runs on a real counter (as of the last wait).
  bool OnRealCounter() const { return source_ != nullptr && real_; }

  // On a real counter the bus wakes once per transfer of this many frames,
  // the packets the class driver asks for in one isochronous request.
  static constexpr int64_t kFramesPerTransfer = 32;
  // A bus this many frames behind a real counter skips ahead.
  static constexpr int64_t kMostFramesBehind = kFramesPerTransfer + 4;

 private:
  bool WaitReal(const kernel::CounterReading& reading, int64_t frameTicks);
  bool WaitSimulated(int64_t frameTicks);
  bool WaitSimulatedFrom(int64_t now, int64_t frameTicks);

  Sleep sleep_;
  const kernel::PerformanceCounterSource* source_ = nullptr;  // the counter due_ is on
  int64_t due_ = 0;  // when the next bus frame is due, in its ticks
  int64_t frequency_ = 1;  // of source_
  int64_t frameTicks_ = 0;  // a bus frame on source_
  bool real_ = false;      // source_ is a real counter
};

}  // namespace ksv::platform::usbcamd
