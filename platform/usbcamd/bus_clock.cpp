#include "platform/usbcamd/bus_clock.h"

#include <algorithm>

namespace ksv::platform::usbcamd {
namespace {

constexpr int64_t kBusFrame100ns = 10'000;  // 1 ms
constexpr std::chrono::milliseconds kSimulatedRecheck{1};

std::chrono::nanoseconds TicksToDuration(int64_t ticks, int64_t frequency) {
  const auto ns = static_cast<__int128>(ticks) * 1'000'000'000 / frequency;
  return std::chrono::nanoseconds(static_cast<int64_t>(ns));
}

int64_t TicksTo100ns(int64_t ticks, int64_t frequency) {
  return static_cast<int64_t>(static_cast<__int128>(ticks) * 10'000'000 / frequency);
}

}  // namespace

bool BusClock::IsSimulated() { return !kernel::ReadInstalledCounter().real; }

bool BusClock::WaitForNextFrame() {
  const kernel::CounterReading reading = kernel::ReadInstalledCounter();
  const int64_t frameTicks = kernel::IntervalToTicks(kBusFrame100ns, reading.frequency);
  if (reading.source != source_) {  // another counter: its time starts now
    source_ = reading.source;
    due_ = reading.counter;
  }
  due_ += frameTicks;
  return reading.real ? WaitReal(reading, frameTicks) : WaitSimulated(frameTicks);
}

bool BusClock::WaitReal(const kernel::CounterReading& reading, int64_t frameTicks) {
  const int64_t early = due_ - reading.counter;
  if (early <= 0) {
    if (-early > (kBatchFrames + kMostFramesBehind) * frameTicks) due_ = reading.counter;
    lateness100ns_ = TicksTo100ns(reading.counter - due_, reading.frequency);
    return sleep_(std::chrono::nanoseconds(0));
  }
  // Due later: sleep out the whole batch this frame begins, then run its
  // frames one after another, each as late as the batch made it.
  const int64_t batchEnd = early + (kBatchFrames - 1) * frameTicks;
  if (!sleep_(TicksToDuration(batchEnd, reading.frequency))) return false;
  const kernel::CounterReading woken = kernel::ReadInstalledCounter();
  lateness100ns_ = woken.source == source_
                       ? TicksTo100ns(std::max<int64_t>(0, woken.counter - due_), woken.frequency)
                       : 0;
  return true;
}

bool BusClock::WaitSimulated(int64_t frameTicks) {
  lateness100ns_ = 0;
  kernel::LetTimePassIfStillInstalled(source_, frameTicks);
  for (;;) {
    const std::optional<int64_t> now = kernel::CounterIfStillInstalled(source_);
    if (!now) return true;  // uninstalled: the next frame reads the counter installed then
    if (*now >= due_) return true;
    if (*now < due_ - frameTicks) {  // set back by its owner: its time starts again there
      due_ = *now;
      return true;
    }
    if (!sleep_(kSimulatedRecheck)) return false;
  }
}

}  // namespace ksv::platform::usbcamd
