#include "platform/media/graph/counter_wait.h"

#include <algorithm>

namespace ksv::media::graph {
namespace {

__extension__ using Wide = __int128;
constexpr int64_t kSimulatedRecheckNs = 1'000'000;

}  // namespace

int64_t CounterNow100ns() { return platform::kernel::PerformanceCounterNow100ns(); }

namespace detail {

int64_t Deadline(const platform::kernel::CounterReading& reading, int64_t milliseconds) {
  return reading.counter + platform::kernel::IntervalToTicks(std::max<int64_t>(milliseconds, 0) *
                                                                 10'000,
                                                             reading.frequency);
}

std::optional<int64_t> NanosecondsLeft(const platform::kernel::CounterReading& reading,
                                       int64_t deadline) {
  const std::optional<int64_t> now = platform::kernel::CounterIfStillInstalled(reading.source);
  if (!now || *now >= deadline) return std::nullopt;
  if (!reading.real) return kSimulatedRecheckNs;
  const Wide ns = (static_cast<Wide>(deadline - *now) * 1'000'000'000 + reading.frequency - 1) /
                  reading.frequency;
  return static_cast<int64_t>(std::min<Wide>(ns, INT64_MAX / 4));
}

}  // namespace detail
}  // namespace ksv::media::graph
