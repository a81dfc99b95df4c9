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
  const kernel::CounterReading reading = kernel::ReadInstalledCounter();
  const int64_t frameTicks = kernel::IntervalToTicks(kBusFrame100ns, reading.frequency);
  if (reading.source != source_) {  // another counter: its time starts now
    source_ = reading.source;
    frequency_ = reading.frequency;
    real_ = reading.real;
    due_ = reading.counter;
  }
  due_ += frameTicks;
  return reading.real ? WaitReal(reading, frameTicks) : WaitSimulated(frameTicks);
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
