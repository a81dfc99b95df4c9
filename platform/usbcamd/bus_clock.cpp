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

}  // namespace

bool BusClock::IsSimulated() { return !kernel::ReadInstalledCounter().real; }

bool BusClock::WaitForNextFrame() {
  if (source_ != nullptr && !real_) {
    // The simulated counter of the last frame, most likely still installed:
    // the frame's millisecond passes and the counter is read in one look.
    const kernel::CounterReading reading = kernel::LetTimePassAndReadInstalled(source_, frameTicks_);
    if (reading.source == source_) {
      due_ += frameTicks_;
      return WaitSimulatedFrom(reading.counter, frameTicks_);
    }
  }
  const kernel::CounterReading reading = kernel::ReadInstalledCounter();
  if (reading.source != source_) {  // another counter: its time starts now
    source_ = reading.source;
    frequency_ = reading.frequency;
    frameTicks_ = kernel::IntervalToTicks(kBusFrame100ns, reading.frequency);
    real_ = reading.real;
    due_ = reading.counter;
  }
  due_ += frameTicks_;
  return reading.real ? WaitReal(reading, frameTicks_) : WaitSimulated(frameTicks_);
}

int64_t BusClock::FrameTime100ns() const {
  if (source_ == nullptr) return kernel::PerformanceCounterNow100ns();
  __extension__ using Wide = __int128;
  return static_cast<int64_t>(static_cast<Wide>(due_) * 10'000'000 / frequency_);
}

int64_t BusClock::Lateness() const {
  if (source_ == nullptr || !real_) return 0;
  const std::optional<int64_t> now = kernel::CounterIfStillInstalled(source_);
  return now ? std::max<int64_t>(*now - due_, 0) : 0;
}

bool BusClock::WaitReal(const kernel::CounterReading& reading, int64_t frameTicks) {
  const int64_t early = due_ - reading.counter;
  if (early <= 0) {
    if (-early > kMostFramesBehind * frameTicks) due_ = reading.counter;
    return sleep_(std::chrono::nanoseconds(0));
  }
  // Asleep until a whole transfer's frames are due, which then run back to
  // back, as a host controller completes a transfer of several packets.
  return sleep_(TicksToDuration(early + (kFramesPerTransfer - 1) * frameTicks, reading.frequency));
}

bool BusClock::WaitSimulated(int64_t frameTicks) {
  kernel::LetTimePassIfStillInstalled(source_, frameTicks);
  const std::optional<int64_t> now = kernel::CounterIfStillInstalled(source_);
  // Uninstalled: the next frame reads the counter installed then.
  return !now || WaitSimulatedFrom(*now, frameTicks);
}

bool BusClock::WaitSimulatedFrom(int64_t now, int64_t frameTicks) {
  for (;;) {
    if (now >= due_) return true;
    if (now < due_ - frameTicks) {  // set back by its owner: its time starts again there
      due_ = now;
      return true;
    }
    if (!sleep_(kSimulatedRecheck)) return false;
    const std::optional<int64_t> later = kernel::CounterIfStillInstalled(source_);
    if (!later) return true;
    now = *later;
  }
}

}  // namespace ksv::platform::usbcamd
