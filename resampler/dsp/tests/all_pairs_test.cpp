// Every pair of rounded rates from 6025 to 48000 Hz through the plan and one
// block of conversion: under the address sanitizer any read before a
// stage's history or past its block stops the test. Long: built and run in
// the sanitizer build only.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "resampler/dsp/converter.h"
#include "resampler/dsp/plan.h"
#include "resampler/dsp/rates.h"

namespace ksv::resampler {
namespace {

std::vector<int32_t> RoundedRates() {
  std::vector<int32_t> rates;
  for (int32_t hz = kMinRate; hz <= kMaxRate; ++hz)
    if (RoundRate(hz) == hz) rates.push_back(hz);
  return rates;
}

TEST(ResamplerAllPairs, EveryPairPlansAndConvertsWithinItsBuffers) {
  const std::vector<int32_t> rates = RoundedRates();
  ASSERT_EQ(rates.size(), 720u);
  std::vector<uint8_t> in, out;
  long pairs = 0;
  for (int32_t from : rates) {
    for (int32_t to : rates) {
      ResamplePlan plan;
      ASSERT_EQ(MakePlan({from, 1, 16}, {to, 1, 16}, 1024, plan), PlanStatus::kOk) << from << " -> " << to;
      // The plan's own account of its reads.
      bool inside = true;
      for (int32_t n = 0; n < plan.polyOutputs; ++n)
        inside = inside && plan.newestInput[n] < plan.polyInFrames &&
                 plan.tapCounts[n] - 1 - plan.newestInput[n] <= plan.historyFrames;
      ASSERT_TRUE(inside) << from << " -> " << to;
      in.assign(static_cast<size_t>(plan.inBlockBytes), 0x7f);
      out.assign(static_cast<size_t>(plan.outBlockBytes), 0);
      BlockConverter converter(std::move(plan));
      ASSERT_TRUE(converter.Convert(in, out));
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 720L * 720L);
}

}  // namespace
}  // namespace ksv::resampler
