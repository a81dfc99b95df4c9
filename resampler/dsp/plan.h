// The conversion plan: what one input block becomes, worked out once when
// the filter's output is connected, from the two PCM formats and the size
// of the upstream buffers. The plan fixes the block sizes on both sides, the
// cascade of stages and the polyphase coefficients (one tap set per output
// position of the block, so no phase arithmetic runs per sample).
#pragma once

#include <cstdint>
#include <vector>

namespace ksv::resampler {

// PCM as the converter takes it: 1 or 2 channels, 8-bit unsigned or 16-bit
// signed samples, interleaved.
struct PcmFormat {
  int32_t rate = 0;       // Hz, as connected (rounded inside the plan)
  int16_t channels = 0;   // 1 or 2
  int16_t bits = 0;       // 8 or 16
};

// Sample kind codes; bytes per sample = code % 10.
enum class SampleKind : int32_t { kUnsigned8 = 11, kSigned16 = 2 };

// 0 same rate (integer conversion only), 1 x2, 2 /2, 3 polyphase within a
// band, 4 x2 x2, 5 /2 /2, 6 polyphase to half the output rate then x2,
// 7 /2 then polyphase, 8 polyphase to a quarter of the output rate then
// x2 x2, 9 /2 /2 then polyphase.
enum class ConversionType : int32_t {
  kSameRate = 0, kUp2 = 1, kDown2 = 2, kPolyphase = 3, kUp4 = 4, kDown4 = 5,
  kPolyUp2 = 6, kDown2Poly = 7, kPolyUp4 = 8, kDown4Poly = 9,
};

enum class ChannelMode : int32_t { kMonoToMono = 0, kMonoToStereo = 1, kStereoToMono = 2, kStereoToStereo = 5 };

// One stage of the cascade: a half-band interpolator or decimator, or the
// polyphase stage.
enum class StageKind : uint8_t { kUp2, kDown2, kPoly };

inline constexpr int kMaxStages = 3;
// The half-band stages need 15 (x2) and 30 (/2) past samples; every stage
// keeps at least this many.
inline constexpr int32_t kMinHistory = 41;
// Polyphase tap sets are padded to multiples of this many taps.
inline constexpr int32_t kTapGroup = 8;

struct ResamplePlan {
  SampleKind inKind = SampleKind::kSigned16, outKind = SampleKind::kSigned16;
  int32_t inChannels = 0, outChannels = 0;
  int32_t F = 0, G = 0;                 // rounded input and output rates
  ConversionType conversionType = ConversionType::kSameRate;
  ChannelMode channelMode = ChannelMode::kMonoToMono;
  int32_t inFrames = 0, outFrames = 0;  // frames per block
  int32_t inBlockBytes = 0, outBlockBytes = 0;

  // The cascade, in order; stageInFrames[s] frames enter stage s.
  int stageCount = 0;
  StageKind stages[kMaxStages] = {};
  int32_t stageInFrames[kMaxStages] = {};

  // Polyphase stage (types 3, 6, 7, 8, 9; zero otherwise).
  int32_t L = 0, M = 0;       // up and down factors: 3528000 / Fn, 3528000 / Gn
  int32_t stride = 0;         // prototype index step: min(Fn, Gn) * L / 8000
  float gain = 0.0f;          // L / max(L, M)
  int32_t polyOutputs = 0;    // P: outputs of the polyphase stage per block
  int32_t polyInFrames = 0;   // its input frames per block
  // Output n of the block reads the stage input floor(n * M / L) as its
  // newest sample (newestInput[n]; for rates whose M / L, rounded down,
  // would reach past the block, every output of it that many samples
  // earlier). Its tap set reads prototype indexes phase, phase + stride, ...
  // (below 9601), phase = (n * M) mod L; stored reversed (oldest input
  // first) and times gain, one set after the other, each preceded by zero
  // taps up to a whole number of kTapGroup taps (the vector code's step;
  // padded sets start at multiples of it).
  std::vector<float> coefficients;
  std::vector<int32_t> tapCounts;    // taps of output n (n = 0 .. P-1), without the padding
  std::vector<int32_t> tapOffsets;   // where output n's first (real) tap is in coefficients
  std::vector<int32_t> newestInput;  // the newest stage input output n reads

  // Samples each stage keeps from block to block, per channel: 41, or more
  // where a polyphase tap set reaches further back (44 taps when the lower
  // rate is near 6 kHz against 12 kHz: 48000 to 24100 Hz, for one).
  int32_t historyFrames = kMinHistory;

  int32_t inBytesPerSample() const { return static_cast<int32_t>(inKind) % 10; }
  int32_t outBytesPerSample() const { return static_cast<int32_t>(outKind) % 10; }
};

enum class PlanStatus {
  kOk,
  kBadWidth,      // bits other than 8 or 16
  kBadChannels,   // channels other than 1 or 2
  kBadRate,       // a rate outside kMinRate..kMaxRate
  kBadBuffer,     // upstream buffer of no whole frame
  kInternal,      // a block that does not divide into its stages (never expected)
};

// Builds the plan for converting `in` to `out` when upstream buffers hold
// `upstreamFrames` frames (the input allocator's buffer size divided by
// bytes per frame). On failure `plan` is left unspecified.
PlanStatus MakePlan(const PcmFormat& in, const PcmFormat& out, int32_t upstreamFrames, ResamplePlan& plan);

const char* PlanStatusText(PlanStatus status);

}  // namespace ksv::resampler
