#include "resampler/dsp/converter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "resampler/dsp/kernels.h"
#include "resampler/dsp/pcm.h"
#include "resampler/dsp/same_rate.h"
#include "support/byte_order.h"

namespace ksv::resampler {
namespace {

using detail::Kernels;
using detail::kPolyLanes;

// A float buffer of exactly the asked size (so the address sanitizer sees
// any read past it), starting on a 32-byte boundary, zero-filled.
class AlignedFloats {
 public:
  void Assign(size_t count) {
    data_.reset(static_cast<float*>(::operator new[](std::max<size_t>(count, 1) * sizeof(float), kAlign)));
    std::fill_n(data_.get(), count, 0.0f);
  }
  float* data() { return data_.get(); }
  const float* data() const { return data_.get(); }

 private:
  static constexpr std::align_val_t kAlign{32};
  struct Free {
    void operator()(float* p) const { ::operator delete[](p, kAlign); }
  };
  std::unique_ptr<float[], Free> data_;
};

const Kernels& KernelsFor(SimdLevel level) {
#if defined(__x86_64__) || defined(__i386__)
  if (level == SimdLevel::kAvx2) return detail::kAvx2Kernels;
  if (level == SimdLevel::kSse2) return detail::kSse2Kernels;
#else
  (void)level;
#endif
  return detail::kScalarKernels;
}

}  // namespace

SimdLevel BestSimdLevel() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::kSse2;
#endif
  return SimdLevel::kScalar;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar: return "scalar";
    case SimdLevel::kSse2: return "sse2";
    case SimdLevel::kAvx2: return "avx2";
  }
  return "unknown";
}

struct BlockConverter::State {
  ResamplePlan plan;
  SimdLevel level = SimdLevel::kScalar;
  const Kernels* kernels = nullptr;
  int32_t history = 0;  // samples kept before each stage's input
  int channels = 1;     // channels resampled separately
  AlignedFloats stage[2][kMaxStages];
  AlignedFloats result[2];
  std::vector<float> even, odd;
  // Where each polyphase tap set starts, padding included.
  std::vector<int32_t> offsets, steps, firstInput;
  detail::PolyTaps polyTaps{};

  void PreparePolyphase();
  void ReadInput(const uint8_t* in);
  void RunStages(int channel);
  void WriteOutput(uint8_t* out) const;
};

// The plan's tap sets are already padded to whole vector steps; what is
// left is where each starts and which input its first (padding) tap meets.
void BlockConverter::State::PreparePolyphase() {
  const int32_t P = plan.polyOutputs;
  offsets.assign(P, 0);
  steps.assign(P, 0);
  firstInput.assign(P, 0);
  for (int32_t n = 0; n < P; ++n) {
    steps[n] = (plan.tapCounts[n] + kPolyLanes - 1) / kPolyLanes;
    const int32_t padding = steps[n] * kPolyLanes - plan.tapCounts[n];
    offsets[n] = plan.tapOffsets[n] - padding;
    firstInput[n] = plan.newestInput[n] - steps[n] * kPolyLanes + 1;
  }
  polyTaps = {plan.coefficients.data(), offsets.data(), steps.data(), firstInput.data()};
}

void BlockConverter::State::ReadInput(const uint8_t* in) {
  float* left = stage[0][0].data() + history;
  const int32_t frames = plan.inFrames;
  const bool eight = plan.inKind == SampleKind::kUnsigned8;
  auto s16 = [in](int32_t i) { return support::unchecked::LoadLeInt16(in + 2 * i); };
  if (plan.inChannels == 1) {
    for (int32_t f = 0; f < frames; ++f) left[f] = eight ? Pcm8ToFloat(in[f]) : Pcm16ToFloat(s16(f));
  } else if (plan.channelMode == ChannelMode::kStereoToMono) {
    for (int32_t f = 0; f < frames; ++f)
      left[f] = eight ? Mix8ToFloat(in[2 * f], in[2 * f + 1]) : Mix16ToFloat(s16(2 * f), s16(2 * f + 1));
  } else {
    float* right = stage[1][0].data() + history;
    for (int32_t f = 0; f < frames; ++f) {
      left[f] = eight ? Pcm8ToFloat(in[2 * f]) : Pcm16ToFloat(s16(2 * f));
      right[f] = eight ? Pcm8ToFloat(in[2 * f + 1]) : Pcm16ToFloat(s16(2 * f + 1));
    }
  }
}

// Runs channel `c` through the cascade: each stage reads its input after
// its history, writes the next stage's input (or the result), then keeps
// the newest `history` samples of its input for the next block.
void BlockConverter::State::RunStages(int c) {
  for (int s = 0; s < plan.stageCount; ++s) {
    float* buffer = stage[c][s].data();
    float* x = buffer + history;
    float* out = s + 1 < plan.stageCount ? stage[c][s + 1].data() + history : result[c].data();
    const int32_t frames = plan.stageInFrames[s];
    switch (plan.stages[s]) {
      case StageKind::kUp2:
        kernels->up2(x, out, frames);
        break;
      case StageKind::kDown2: {
        const int32_t count = frames / 2;
        const float* b = x - 30;
        for (int32_t j = 0; j < count + 15; ++j) {
          even[j] = b[2 * j];
          odd[j] = b[2 * j + 1];
        }
        kernels->down2(even.data(), odd.data(), out, count);
        break;
      }
      case StageKind::kPoly:
        kernels->poly(x, polyTaps, out, plan.polyOutputs);
        break;
    }
    std::memmove(buffer, buffer + frames, sizeof(float) * static_cast<size_t>(history));
  }
}

void BlockConverter::State::WriteOutput(uint8_t* out) const {
  const float* left = result[0].data();
  const float* right = plan.channelMode == ChannelMode::kStereoToStereo ? result[1].data()
                       : plan.outChannels == 2                          ? left
                                                                        : nullptr;
  const int32_t frames = plan.outFrames;
  if (plan.outKind == SampleKind::kSigned16) {
    kernels->toPcm16(left, right, out, frames);
    return;
  }
  for (int32_t f = 0; f < frames; ++f) {
    if (!right) {
      out[f] = FloatToPcm8(left[f]);
    } else {
      out[2 * f] = FloatToPcm8(left[f]);
      out[2 * f + 1] = FloatToPcm8(right[f]);
    }
  }
}

BlockConverter::BlockConverter(ResamplePlan planToKeep, SimdLevel level) : state_(std::make_unique<State>()) {
  State& st = *state_;
  st.plan = std::move(planToKeep);
  const ResamplePlan& plan = st.plan;
  st.level = std::min(level, BestSimdLevel());
  st.kernels = &KernelsFor(st.level);
  st.channels = plan.channelMode == ChannelMode::kStereoToStereo ? 2 : 1;
  // Room for the plan's history plus the zero taps that pad a polyphase set
  // to whole vector steps; even, so the decimator's pairs line up.
  st.history = (plan.historyFrames + kPolyLanes + 1) / 2 * 2;
  if (plan.conversionType == ConversionType::kSameRate) return;
  int32_t largest = 0;
  for (int c = 0; c < st.channels; ++c) {
    for (int s = 0; s < plan.stageCount; ++s) st.stage[c][s].Assign(st.history + plan.stageInFrames[s]);
    st.result[c].Assign(plan.outFrames);
  }
  for (int s = 0; s < plan.stageCount; ++s) largest = std::max(largest, plan.stageInFrames[s]);
  st.even.assign(largest / 2 + 16, 0.0f);
  st.odd.assign(largest / 2 + 16, 0.0f);
  if (plan.polyOutputs > 0) st.PreparePolyphase();
}

BlockConverter::~BlockConverter() = default;

bool BlockConverter::Convert(std::span<const uint8_t> in, std::span<uint8_t> out) {
  State& st = *state_;
  if (in.size() != static_cast<size_t>(st.plan.inBlockBytes) || out.size() != static_cast<size_t>(st.plan.outBlockBytes))
    return false;
  if (st.plan.conversionType == ConversionType::kSameRate) {
    detail::ConvertSameRate(st.plan, in.data(), out.data());
    return true;
  }
  st.ReadInput(in.data());
  for (int c = 0; c < st.channels; ++c) st.RunStages(c);
  st.WriteOutput(out.data());
  return true;
}

void BlockConverter::Reset() {
  State& st = *state_;
  for (int c = 0; c < st.channels; ++c)
    for (int s = 0; s < st.plan.stageCount; ++s)
      std::fill_n(st.stage[c][s].data(), st.history + st.plan.stageInFrames[s], 0.0f);
}

const ResamplePlan& BlockConverter::plan() const { return state_->plan; }
SimdLevel BlockConverter::level() const { return state_->level; }

}  // namespace ksv::resampler
