// The sample-rate converter against libsoxr on the same speech-like input in
// the same run: input samples (frames x channels) converted per second by
// our block converter and by soxr's quick, low and medium recipes (streamed
// in blocks of the same size, 16-bit in and out), the ratio of ours to each,
// and the signal-to-noise ratio of ours against soxr's very-high-quality
// conversion of the same input.
//   resample_bench [seconds of input, default 20]
#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "resampler/dsp/converter.h"
#include "resampler/dsp/plan.h"
#include "resampler/dsp/testing/reference.h"

namespace {

using namespace ksv::resampler;
using Clock = std::chrono::steady_clock;

struct Case {
  const char* name;
  int32_t inRate, outRate;
  int channels;
};

constexpr int kRuns = 5;

// Best of kRuns: samples per second through our converter.
double OursRate(const ResamplePlan& plan, const std::vector<uint8_t>& input, SimdLevel level) {
  BlockConverter converter(plan, level);
  const auto inBlock = static_cast<size_t>(plan.inBlockBytes);
  const size_t blocks = input.size() / inBlock;
  std::vector<uint8_t> out(static_cast<size_t>(plan.outBlockBytes));
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    converter.Reset();
    const auto start = Clock::now();
    for (size_t b = 0; b < blocks; ++b) converter.Convert(std::span(input).subspan(b * inBlock, inBlock), out);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return static_cast<double>(blocks * inBlock / 2) / best;
}

// Best of kRuns: samples per second through soxr, streamed in our block size.
double SoxrRate(const Case& c, const ResamplePlan& plan, const std::vector<int16_t>& input,
                reference::SoxrQuality quality) {
  const unsigned long recipe = quality == reference::SoxrQuality::kQuick ? SOXR_QQ
                               : quality == reference::SoxrQuality::kLow ? SOXR_LQ
                                                                         : SOXR_MQ;
  const size_t frames = static_cast<size_t>(plan.inFrames), channels = static_cast<size_t>(c.channels);
  const size_t blocks = input.size() / (frames * channels);
  std::vector<int16_t> out(static_cast<size_t>(plan.outFrames) * 2 * channels + 64);
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t q = soxr_quality_spec(recipe, 0);
    soxr_error_t error = nullptr;
    soxr_t soxr = soxr_create(c.inRate, c.outRate, static_cast<unsigned>(c.channels), &error, &io, &q, nullptr);
    if (error) {
      std::fprintf(stderr, "soxr: %s\n", error);
      std::exit(1);
    }
    const auto start = Clock::now();
    for (size_t b = 0; b < blocks; ++b) {
      size_t used = 0, made = 0;
      soxr_process(soxr, input.data() + b * frames * channels, frames, &used, out.data(), out.size() / channels, &made);
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    soxr_delete(soxr);
  }
  return static_cast<double>(blocks * frames * channels) / best;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
  const Case cases[] = {
      {"8000 -> 22050 mono", 8000, 22050, 1},
      {"48000 -> 44100 stereo", 48000, 44100, 2},
      {"44100 -> 22050 stereo", 44100, 22050, 2},
  };
  std::printf("converter: %s; %.0f s of speech-like input per case; best of %d runs\n\n",
              SimdLevelName(BestSimdLevel()), seconds, kRuns);
  std::printf("%-24s %10s %10s %10s %10s %10s %10s %8s %8s %8s %7s\n", "case", "ours Ms/s", "sse2", "scalar",
              "soxr quick", "soxr low", "soxr med", "x quick", "x low", "x med", "SNR dB");
  for (const Case& c : cases) {
    ResamplePlan plan;
    if (MakePlan({c.inRate, static_cast<int16_t>(c.channels), 16}, {c.outRate, static_cast<int16_t>(c.channels), 16},
                 1024, plan) != PlanStatus::kOk) {
      std::fprintf(stderr, "%s: no plan\n", c.name);
      return 1;
    }
    const std::vector<int16_t> speech = reference::SpeechLike(c.inRate, seconds, c.channels, 3);
    const std::vector<uint8_t> bytes = reference::AsBytes(speech);
    const double ours = OursRate(plan, bytes, BestSimdLevel());
    const double sse2 = OursRate(plan, bytes, SimdLevel::kSse2);
    const double scalar = OursRate(plan, bytes, SimdLevel::kScalar);
    const double quick = SoxrRate(c, plan, speech, reference::SoxrQuality::kQuick);
    const double low = SoxrRate(c, plan, speech, reference::SoxrQuality::kLow);
    const double medium = SoxrRate(c, plan, speech, reference::SoxrQuality::kMedium);

    // Quality on the first few seconds, channel 0.
    const std::vector<int16_t> head(speech.begin(),
                                    speech.begin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(speech.size()),
                                                                              c.inRate * 3 * c.channels));
    BlockConverter converter(plan);
    const std::vector<int16_t> converted =
        reference::AsSamples(reference::ConvertStream(converter, reference::AsBytes(head)));
    const std::vector<float> best = reference::SoxrConvert(head, c.channels, c.inRate, c.outRate,
                                                           reference::SoxrQuality::kVeryHigh);
    const reference::AlignedSnr snr = reference::CompareAligned(converted, best, c.channels, 0);
    std::printf("%-24s %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f %8.2f %8.2f %8.2f %7.1f\n", c.name, ours / 1e6,
                sse2 / 1e6, scalar / 1e6, quick / 1e6, low / 1e6, medium / 1e6, ours / quick, ours / low,
                ours / medium, snr.snrDb);
  }
  return 0;
}
