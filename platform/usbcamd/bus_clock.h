// The bus's time: one bus frame a millisecond of the installed performance
// counter, read afresh before each frame (a test may install or uninstall a
// counter while the bus runs).
//
// On a real counter the bus wakes once for a batch of bus frames, as a host
// controller completes its isochronous transfers a batch of packets at a
// time: it sleeps until the batch's last millisecond is due and then runs
// its frames back to back (waking a thread every millisecond costs the
// machine more than the frames themselves). A bus that fell far behind (a
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

  // How late, in 100-ns units, the bus frame just waited for runs: how long
  // ago it was due on a real counter (a batch's frames run late), 0 on a
  // simulated one.
  int64_t Lateness100ns() const { return lateness100ns_; }

  // Bus frames a real counter's bus runs for one wake.
  static constexpr int64_t kBatchFrames = 8;
  // A bus this many frames behind a real counter, beyond its batch, skips
  // ahead.
  static constexpr int64_t kMostFramesBehind = 4;

 private:
  bool WaitReal(const kernel::CounterReading& reading, int64_t frameTicks);
  bool WaitSimulated(int64_t frameTicks);

  Sleep sleep_;
  const kernel::PerformanceCounterSource* source_ = nullptr;  // the counter due_ is on
  int64_t due_ = 0;  // when the next bus frame is due, in its ticks
  int64_t lateness100ns_ = 0;
};

}  // namespace ksv::platform::usbcamd
