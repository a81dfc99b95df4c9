// What the converter worked out for its current connection, for tools that
// show it (ksvcam resample --show-plan) and for tests. A private interface
// of the filter, not part of its published one.
#pragma once

#include "platform/com/unknown.h"
#include "resampler/dsp/plan.h"

struct IResamplePlanInfo : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("5C0B7A31-2E64-4F0B-9D2A-6E1F3B8C4D71");
  // A copy of the plan: VFW_E_NOT_CONNECTED while the output is not
  // connected, E_POINTER for null.
  virtual HRESULT GetPlan(ksv::resampler::ResamplePlan* plan) = 0;
  // The duration of the sound produced since the output became active, in
  // 100-ns units. E_POINTER for null.
  virtual HRESULT GetProducedDuration(int64_t* duration) = 0;

 protected:
  ~IResamplePlanInfo() = default;
};
inline constexpr IID IID_IResamplePlanInfo = IResamplePlanInfo::kIid;
