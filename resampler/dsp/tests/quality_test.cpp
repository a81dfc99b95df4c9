// Our conversion of a speech-like recording against libsoxr's very-high-
// quality conversion of the same input, delays lined up.
#include <gtest/gtest.h>

#include "resampler/dsp/converter.h"
#include "resampler/dsp/plan.h"
#include "resampler/dsp/testing/reference.h"

namespace ksv::resampler {
namespace {

TEST(ResamplerQuality, SpeechAt48000To44100MatchesSoxrVeryHighQuality) {
  const std::vector<int16_t> speech = reference::SpeechLike(48000, 1.5, 1, 7);
  ResamplePlan plan;
  ASSERT_EQ(MakePlan({48000, 1, 16}, {44100, 1, 16}, 4096, plan), PlanStatus::kOk);
  BlockConverter converter(plan);
  const std::vector<int16_t> ours = reference::AsSamples(reference::ConvertStream(converter, reference::AsBytes(speech)));
  const std::vector<float> soxr = reference::SoxrConvert(speech, 1, 48000, 44100, reference::SoxrQuality::kVeryHigh);
  ASSERT_FALSE(soxr.empty());
  const reference::AlignedSnr snr = reference::CompareAligned(ours, soxr, 1, 0);
  RecordProperty("snr_db", std::to_string(snr.snrDb));
  std::printf("SNR %.2f dB, delay %.3f samples\n", snr.snrDb, snr.delay);
  EXPECT_GE(snr.snrDb, 35.0);
}

}  // namespace
}  // namespace ksv::resampler
