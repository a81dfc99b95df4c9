// Rate rounding, the prototype and the conversion plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "resampler/dsp/plan.h"
#include "resampler/dsp/prototype.h"
#include "resampler/dsp/rates.h"

namespace ksv::resampler {
namespace {

TEST(ResamplerRates, RoundsUpOntoTheBandsGrid) {
  EXPECT_EQ(RoundRate(11025), 11025);
  EXPECT_EQ(RoundRate(22050), 22050);
  EXPECT_EQ(RoundRate(6001), 6025);
  EXPECT_EQ(RoundRate(11990), 12000);   // band 1 keeps a multiple of 25 ...
  EXPECT_EQ(RoundRate(12001), 12050);   // ... band 2 goes up to 50 ...
  EXPECT_EQ(RoundRate(24001), 24100);   // ... band 3 to 100
  EXPECT_EQ(RoundRate(44101), 44200);
  EXPECT_EQ(BandDivisor(6025), 1);
  EXPECT_EQ(BandDivisor(12050), 2);
  EXPECT_EQ(BandDivisor(48000), 4);
  EXPECT_EQ(BandDivisor(5000), 4);
  EXPECT_FALSE(IsSupportedRate(6024));
  EXPECT_TRUE(IsSupportedRate(6025));
  EXPECT_TRUE(IsSupportedRate(48000));
  EXPECT_FALSE(IsSupportedRate(48001));
}

TEST(ResamplerPrototype, HasTheStatedShape) {
  const std::span<const float> half = PrototypeHalf();
  ASSERT_EQ(half.size(), 4801u);
  EXPECT_NEAR(half[0], 0.000364, 1e-5);
  EXPECT_NEAR(half[1], 0.000380, 1e-5);
  EXPECT_NEAR(half[4400], 0.093203, 1e-5);
  EXPECT_NEAR(half[4799], 0.999991, 1e-5);
  EXPECT_EQ(half[4800], 1.0f);
  EXPECT_NEAR(*std::min_element(half.begin(), half.end()), -0.208968, 1e-5);
  double sum = 0.0;
  for (int32_t k = 0; k < kPrototypeTaps; ++k) sum += PrototypeTap(k);
  EXPECT_NEAR(sum, 439.0, 0.5);
  EXPECT_EQ(PrototypeTap(9600), half[0]);
  EXPECT_EQ(PrototypeTap(4801), half[4799]);
  // Zero crossings about 438.5 grid points apart: the sinc changes sign
  // between distances 438 and 439 and again between 876 and 877.
  EXPECT_GT(half[4800 - 438], 0.0f);
  EXPECT_LT(half[4800 - 439], 0.0f);
  EXPECT_LT(half[4800 - 876], 0.0f);
  EXPECT_GT(half[4800 - 877], 0.0f);
}

ResamplePlan Plan(PcmFormat in, PcmFormat out, int32_t upstream = 4410) {
  ResamplePlan plan;
  EXPECT_EQ(MakePlan(in, out, upstream, plan), PlanStatus::kOk);
  return plan;
}

TEST(ResamplerPlan, NamedConversionsUseTheirCascades) {
  const ResamplePlan halve = Plan({44100, 2, 16}, {22050, 2, 16}, 1000);
  EXPECT_EQ(halve.conversionType, ConversionType::kDown2);
  ASSERT_EQ(halve.stageCount, 1);
  EXPECT_EQ(halve.stages[0], StageKind::kDown2);
  EXPECT_EQ(halve.inFrames, 1000);
  EXPECT_EQ(halve.outFrames, 500);
  EXPECT_EQ(halve.inBlockBytes, 4000);
  EXPECT_EQ(halve.channelMode, ChannelMode::kStereoToStereo);

  const ResamplePlan quadruple = Plan({11025, 1, 8}, {44100, 2, 16}, 1000);
  EXPECT_EQ(quadruple.conversionType, ConversionType::kUp4);
  ASSERT_EQ(quadruple.stageCount, 2);
  EXPECT_EQ(quadruple.stages[0], StageKind::kUp2);
  EXPECT_EQ(quadruple.stages[1], StageKind::kUp2);
  EXPECT_EQ(quadruple.inFrames, 480);  // clamped to 64..480
  EXPECT_EQ(quadruple.outFrames, 1920);
  EXPECT_EQ(quadruple.inBlockBytes, 480);
  EXPECT_EQ(quadruple.outBlockBytes, 1920 * 4);
  EXPECT_EQ(quadruple.channelMode, ChannelMode::kMonoToStereo);

  const ResamplePlan poly = Plan({48000, 2, 16}, {44100, 1, 16});
  EXPECT_EQ(poly.conversionType, ConversionType::kPolyphase);
  EXPECT_EQ(poly.L, 294);
  EXPECT_EQ(poly.M, 320);
  EXPECT_EQ(poly.inFrames, 480);
  EXPECT_EQ(poly.outFrames, 441);
  EXPECT_EQ(poly.polyOutputs, 441);
  EXPECT_EQ(poly.stride, 405);
  EXPECT_FLOAT_EQ(poly.gain, 294.0f / 320.0f);
  EXPECT_EQ(poly.channelMode, ChannelMode::kStereoToMono);

  const ResamplePlan clip = Plan({8000, 1, 16}, {22050, 1, 16});
  EXPECT_EQ(clip.conversionType, ConversionType::kPolyUp2);
  ASSERT_EQ(clip.stageCount, 2);
  EXPECT_EQ(clip.stages[0], StageKind::kPoly);
  EXPECT_EQ(clip.stages[1], StageKind::kUp2);
  EXPECT_EQ(clip.inFrames, 320);
  EXPECT_EQ(clip.outFrames, 882);
  EXPECT_EQ(clip.polyOutputs, 441);  // to 11025 Hz, then doubled
  EXPECT_EQ(clip.L, 441);
  EXPECT_EQ(clip.M, 320);
  EXPECT_EQ(clip.stride, 441);
}

TEST(ResamplerPlan, EveryConversionTypeAndBlockRule) {
  struct Case {
    int32_t in, out, upstream;
    ConversionType type;
    int32_t inFrames, outFrames;
  };
  const Case cases[] = {
      {22050, 22050, 5000, ConversionType::kSameRate, 1920, 1920},
      {22050, 22050, 100, ConversionType::kSameRate, 100, 100},
      {11025, 22050, 10, ConversionType::kUp2, 64, 128},
      {11025, 22050, 2000, ConversionType::kUp2, 960, 1920},
      {44100, 22050, 1001, ConversionType::kDown2, 1000, 500},  // rounded down to even
      {44100, 22050, 50, ConversionType::kDown2, 128, 64},
      {44100, 11025, 1003, ConversionType::kDown4, 1000, 250},  // to a multiple of 4
      {44100, 11025, 100, ConversionType::kDown4, 256, 64},
      {22050, 16000, 0 + 7, ConversionType::kPolyphase, 441, 320},     // 20 ms
      {8000, 11025, 7, ConversionType::kPolyphase, 320, 441},          // 40 ms
      {11025, 16000, 7, ConversionType::kPolyUp2, 441, 640},
      {32000, 22050, 7, ConversionType::kDown2Poly, 640, 441},
      {8000, 44100, 7, ConversionType::kPolyUp4, 320, 1764},
      {44100, 8000, 7, ConversionType::kDown4Poly, 1764, 320},
      {48000, 32000, 7, ConversionType::kPolyphase, 480, 320},         // 10 ms
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.in << " -> " << c.out);
    const ResamplePlan plan = Plan({c.in, 1, 16}, {c.out, 1, 16}, c.upstream);
    EXPECT_EQ(plan.conversionType, c.type);
    EXPECT_EQ(plan.inFrames, c.inFrames);
    EXPECT_EQ(plan.outFrames, c.outFrames);
  }
  // Rates are rounded before anything else: 22051 Hz is 22100 Hz.
  EXPECT_EQ(Plan({22051, 1, 16}, {22050, 1, 16}).conversionType, ConversionType::kPolyphase);
}

TEST(ResamplerPlan, TapSetsAreSampledFromThePrototypeInReverse) {
  const ResamplePlan plan = Plan({48000, 1, 16}, {44100, 1, 16});
  ASSERT_EQ(plan.tapCounts.size(), 441u);
  // Position 0 sits on an input sample: phase 0, taps 0, 405, ... 9315.
  EXPECT_EQ(plan.tapCounts[0], 24);
  EXPECT_FLOAT_EQ(plan.coefficients[0], PrototypeTap(23 * 405) * plan.gain);
  EXPECT_FLOAT_EQ(plan.coefficients[23], PrototypeTap(0) * plan.gain);
  // Position 1: phase (1 x 320) mod 294 = 26, read from input floor(320 / 294) = 1.
  const float* second = plan.coefficients.data() + plan.tapOffsets[1];
  EXPECT_EQ(plan.tapOffsets[1], 24);
  EXPECT_EQ(plan.newestInput[1], 1);
  EXPECT_FLOAT_EQ(second[plan.tapCounts[1] - 1], PrototypeTap(26) * plan.gain);
  // Every position passes DC at about unit gain.
  for (int32_t n = 0; n < plan.polyOutputs; n += 37) {
    const float* taps = plan.coefficients.data() + plan.tapOffsets[n];
    EXPECT_NEAR(std::accumulate(taps, taps + plan.tapCounts[n], 0.0), 1.0, 0.01) << n;
  }
}

TEST(ResamplerPlan, RefusesWhatItCannotConvert) {
  ResamplePlan plan;
  EXPECT_EQ(MakePlan({44100, 1, 24}, {22050, 1, 16}, 1000, plan), PlanStatus::kBadWidth);
  EXPECT_EQ(MakePlan({44100, 1, 16}, {22050, 1, 12}, 1000, plan), PlanStatus::kBadWidth);
  EXPECT_EQ(MakePlan({44100, 3, 16}, {22050, 1, 16}, 1000, plan), PlanStatus::kBadChannels);
  EXPECT_EQ(MakePlan({6024, 1, 16}, {22050, 1, 16}, 1000, plan), PlanStatus::kBadRate);
  EXPECT_EQ(MakePlan({48001, 1, 16}, {22050, 1, 16}, 1000, plan), PlanStatus::kBadRate);
  EXPECT_EQ(MakePlan({44100, 1, 16}, {22050, 1, 16}, 0, plan), PlanStatus::kBadBuffer);
}

// With L and M rounded down, stepping by M / L reaches one sample past the
// block for some pairs; the block's own ratio keeps every output inside it.
// Some pairs reach further back than 41 samples; their histories grow.
TEST(ResamplerPlan, OutputsStayInsideTheirBlockAndHistory) {
  const ResamplePlan far = Plan({48000, 1, 16}, {24100, 1, 16});
  EXPECT_EQ(far.L, 294);
  EXPECT_EQ(far.M, 585);
  EXPECT_EQ(far.tapCounts[0], 44);  // reads 43 samples back at position 0
  EXPECT_EQ(far.historyFrames, 43);

  const ResamplePlan odd = Plan({8800, 1, 16}, {22050, 1, 16});
  EXPECT_EQ(odd.L, 400);
  EXPECT_EQ(odd.polyInFrames, 352);
  EXPECT_EQ(440 * odd.M / odd.L, 352);       // M / L would read past the block
  EXPECT_EQ(odd.newestInput[440], 351);      // 440 * 352 / 441
  EXPECT_EQ(odd.newestInput[220], 175);      // 220 * 352 / 441 = 175.6

  // Where the rates divide the grid, the block's ratio is M / L.
  const ResamplePlan exact = Plan({8000, 1, 16}, {22050, 1, 16});
  for (int32_t n = 0; n < exact.polyOutputs; ++n) ASSERT_EQ(exact.newestInput[n], n * exact.M / exact.L) << n;
  EXPECT_EQ(Plan({48000, 1, 16}, {44100, 1, 16}).historyFrames, kMinHistory);
}

}  // namespace
}  // namespace ksv::resampler
