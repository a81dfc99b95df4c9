// The median of a benchmark's repeated timings: one slow run (a page-cache
// miss, another process) does not move it.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace ksv::bench {

// The median of `runs` timings of `work`, in seconds.
inline double MedianSeconds(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace ksv::bench
