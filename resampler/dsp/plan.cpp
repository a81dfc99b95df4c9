#include "resampler/dsp/plan.h"

#include <algorithm>

#include "resampler/dsp/prototype.h"
#include "resampler/dsp/rates.h"

namespace ksv::resampler {
namespace {

struct Blocks {
  int32_t in = 0, out = 0;
};

// Frames per block for each relation of the rounded rates. Exact factors of
// two follow the upstream buffers; other ratios use blocks of a fixed time.
Blocks BlockSizes(int32_t F, int32_t G, int32_t upstream) {
  if (G == F) {
    const int32_t in = std::min(upstream, 1920);
    return {in, in};
  }
  if (G == 2 * F) {
    const int32_t in = std::clamp(upstream, 64, 960);
    return {in, 2 * in};
  }
  if (G == 4 * F) {
    const int32_t in = std::clamp(upstream, 64, 480);
    return {in, 4 * in};
  }
  if (2 * G == F) {
    const int32_t in = std::clamp(upstream / 2 * 2, 128, 1920);
    return {in, in / 2};
  }
  if (4 * G == F) {
    const int32_t in = std::clamp(upstream / 4 * 4, 256, 1920);
    return {in, in / 4};
  }
  const int fb = BandOf(F), gb = BandOf(G);
  const int32_t ms = (fb == 1 || gb == 1) ? 40 : (fb == 2 || gb == 2) ? 20 : 10;
  return {F * ms / 1000, G * ms / 1000};
}

ConversionType TypeOf(int32_t F, int32_t G) {
  const int fb = BandOf(F), gb = BandOf(G);
  if (G == F) return ConversionType::kSameRate;
  if (G == 2 * F) return ConversionType::kUp2;
  if (G == F / 2) return ConversionType::kDown2;
  if (fb == gb) return ConversionType::kPolyphase;
  if (G == 4 * F) return ConversionType::kUp4;
  if (G == F / 4) return ConversionType::kDown4;
  if (gb == fb + 1) return ConversionType::kPolyUp2;
  if (gb == fb - 1) return ConversionType::kDown2Poly;
  return gb > fb ? ConversionType::kPolyUp4 : ConversionType::kDown4Poly;
}

// The cascade of each type, with the polyphase stage's share of the block:
// its outputs are outFrames / outDiv, its inputs inFrames / inDiv.
struct Cascade {
  int count;
  StageKind stages[kMaxStages];
  int32_t inDiv, outDiv;  // 0 when there is no polyphase stage
};

Cascade CascadeOf(ConversionType type) {
  using S = StageKind;
  switch (type) {
    case ConversionType::kSameRate: return {0, {}, 0, 0};
    case ConversionType::kUp2: return {1, {S::kUp2}, 0, 0};
    case ConversionType::kDown2: return {1, {S::kDown2}, 0, 0};
    case ConversionType::kPolyphase: return {1, {S::kPoly}, 1, 1};
    case ConversionType::kUp4: return {2, {S::kUp2, S::kUp2}, 0, 0};
    case ConversionType::kDown4: return {2, {S::kDown2, S::kDown2}, 0, 0};
    case ConversionType::kPolyUp2: return {2, {S::kPoly, S::kUp2}, 1, 2};
    case ConversionType::kDown2Poly: return {2, {S::kDown2, S::kPoly}, 2, 1};
    case ConversionType::kPolyUp4: return {3, {S::kPoly, S::kUp2, S::kUp2}, 1, 4};
    case ConversionType::kDown4Poly: return {3, {S::kDown2, S::kDown2, S::kPoly}, 4, 1};
  }
  return {0, {}, 0, 0};
}

// Tap sets of every output position of the block, and the history that
// makes every read of the stage land on a defined sample.
//
// Output n reads the input floor(n * M / L) and the prototype from phase
// (n * M) mod L on, every `stride` points. L and M are rounded down, so for
// rates that do not divide the 3,528,000-point grid (8800 Hz, say) the last
// outputs of a block would read a sample or more past its end; there the
// whole block's outputs are taken that many samples later (the stage looks
// ahead by delaying its output), and the history is made long enough for
// the tap sets that reach further back than 41 samples.
PlanStatus BuildPolyphase(ResamplePlan& p) {
  const int32_t Fn = p.F / BandDivisor(p.F), Gn = p.G / BandDivisor(p.G);
  p.L = kPrototypeGrid / Fn;
  p.M = kPrototypeGrid / Gn;
  p.stride = static_cast<int32_t>(static_cast<int64_t>(std::min(Fn, Gn)) * p.L / 8000);
  p.gain = static_cast<float>(p.L) / static_cast<float>(std::max(p.L, p.M));
  if (p.stride <= 0 || p.polyOutputs <= 0) return PlanStatus::kInternal;

  p.tapCounts.assign(p.polyOutputs, 0);
  p.tapOffsets.assign(p.polyOutputs, 0);
  p.newestInput.assign(p.polyOutputs, 0);
  auto phaseOf = [&](int32_t n) {
    return static_cast<int32_t>(static_cast<int64_t>(n) * p.M % p.L);
  };
  auto specifiedNewest = [&](int32_t n) {
    return static_cast<int32_t>(static_cast<int64_t>(n) * p.M / p.L);
  };
  // How far the block's last output would read past the block's end.
  const int32_t lookAhead =
      std::max(0, specifiedNewest(p.polyOutputs - 1) - (p.polyInFrames - 1));
  int32_t furthestBack = 0, total = 0;
  for (int32_t n = 0; n < p.polyOutputs; ++n) {
    const int32_t newest = specifiedNewest(n) - lookAhead;
    const int32_t count = (kPrototypeTaps - 1 - phaseOf(n)) / p.stride + 1;
    if (newest >= p.polyInFrames) return PlanStatus::kInternal;
    const int32_t padded = (count + kTapGroup - 1) / kTapGroup * kTapGroup;
    p.tapOffsets[n] = total + padded - count;
    p.tapCounts[n] = count;
    p.newestInput[n] = newest;
    total += padded;
    furthestBack = std::max(furthestBack, count - 1 - newest);
  }
  p.coefficients.assign(static_cast<size_t>(total), 0.0f);
  const float* half = PrototypeHalf().data();
  for (int32_t n = 0; n < p.polyOutputs; ++n) {
    float* taps = p.coefficients.data() + p.tapOffsets[n] + p.tapCounts[n] - 1;  // the newest input's tap
    for (int32_t index = phaseOf(n); index < kPrototypeTaps; index += p.stride, --taps)
      *taps = (index < kPrototypeHalf ? half[index] : half[kPrototypeTaps - 1 - index]) * p.gain;
  }
  p.historyFrames = std::max(kMinHistory, furthestBack);
  return PlanStatus::kOk;
}

}  // namespace

PlanStatus MakePlan(const PcmFormat& in, const PcmFormat& out, int32_t upstreamFrames, ResamplePlan& p) {
  if ((in.bits != 8 && in.bits != 16) || (out.bits != 8 && out.bits != 16)) return PlanStatus::kBadWidth;
  if (in.channels < 1 || in.channels > 2 || out.channels < 1 || out.channels > 2) return PlanStatus::kBadChannels;
  if (!IsSupportedRate(in.rate) || !IsSupportedRate(out.rate)) return PlanStatus::kBadRate;
  if (upstreamFrames < 1) return PlanStatus::kBadBuffer;

  p = ResamplePlan{};
  p.inKind = in.bits == 8 ? SampleKind::kUnsigned8 : SampleKind::kSigned16;
  p.outKind = out.bits == 8 ? SampleKind::kUnsigned8 : SampleKind::kSigned16;
  p.inChannels = in.channels;
  p.outChannels = out.channels;
  p.F = RoundRate(in.rate);
  p.G = RoundRate(out.rate);
  const Blocks blocks = BlockSizes(p.F, p.G, upstreamFrames);
  p.inFrames = blocks.in;
  p.outFrames = blocks.out;
  p.conversionType = TypeOf(p.F, p.G);
  p.channelMode = in.channels == 1 ? (out.channels == 1 ? ChannelMode::kMonoToMono : ChannelMode::kMonoToStereo)
                                   : (out.channels == 1 ? ChannelMode::kStereoToMono : ChannelMode::kStereoToStereo);
  p.inBlockBytes = p.inFrames * p.inChannels * p.inBytesPerSample();
  p.outBlockBytes = p.outFrames * p.outChannels * p.outBytesPerSample();

  const Cascade cascade = CascadeOf(p.conversionType);
  p.stageCount = cascade.count;
  int32_t frames = p.inFrames;
  for (int s = 0; s < cascade.count; ++s) {
    p.stages[s] = cascade.stages[s];
    p.stageInFrames[s] = frames;
    if (cascade.stages[s] == StageKind::kDown2 && frames % 2 != 0) return PlanStatus::kInternal;
    frames = cascade.stages[s] == StageKind::kUp2 ? frames * 2 : cascade.stages[s] == StageKind::kDown2 ? frames / 2 : 0;
    if (cascade.stages[s] == StageKind::kPoly) {
      if (p.inFrames % cascade.inDiv != 0 || p.outFrames % cascade.outDiv != 0) return PlanStatus::kInternal;
      p.polyInFrames = p.inFrames / cascade.inDiv;
      p.polyOutputs = p.outFrames / cascade.outDiv;
      frames = p.polyOutputs;
    }
  }
  if (frames != p.outFrames && cascade.count > 0) return PlanStatus::kInternal;
  if (cascade.inDiv != 0) return BuildPolyphase(p);
  return PlanStatus::kOk;
}

const char* PlanStatusText(PlanStatus status) {
  switch (status) {
    case PlanStatus::kOk: return "ok";
    case PlanStatus::kBadWidth: return "sample width other than 8 or 16 bits";
    case PlanStatus::kBadChannels: return "channel count other than 1 or 2";
    case PlanStatus::kBadRate: return "sample rate outside 6025..48000 Hz";
    case PlanStatus::kBadBuffer: return "upstream buffer holds no whole frame";
    case PlanStatus::kInternal: return "block does not divide into its stages";
  }
  return "unknown";
}

}  // namespace ksv::resampler
