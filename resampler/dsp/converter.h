// The block converter: made from a plan, it turns one input block of
// plan.inBlockBytes bytes into one output block of plan.outBlockBytes,
// keeping each channel's stage histories from block to block. All memory
// is allocated when it is made; a conversion allocates nothing.
//
// The inner loops run in SSE2 or AVX2 when the processor has them (picked
// once, at run time) and give bit for bit the results of the scalar form,
// which stays the reference: every sum runs in the same order in all three.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "resampler/dsp/plan.h"

namespace ksv::resampler {

enum class SimdLevel { kScalar, kSse2, kAvx2 };

// The best level this processor runs.
SimdLevel BestSimdLevel();
const char* SimdLevelName(SimdLevel level);

class BlockConverter {
 public:
  // Keeps the plan (move it in to spare a copy of its tap sets). `level`
  // is clamped to what the processor runs.
  explicit BlockConverter(ResamplePlan plan, SimdLevel level = BestSimdLevel());
  ~BlockConverter();
  BlockConverter(const BlockConverter&) = delete;
  BlockConverter& operator=(const BlockConverter&) = delete;

  // Converts one block. `in` must hold plan().inBlockBytes bytes and `out`
  // plan().outBlockBytes bytes; returns false (and writes nothing) if not.
  bool Convert(std::span<const uint8_t> in, std::span<uint8_t> out);

  // Forgets the histories (silence before the next block), as at a new stream.
  void Reset();

  const ResamplePlan& plan() const;
  SimdLevel level() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ksv::resampler
