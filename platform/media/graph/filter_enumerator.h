// IEnumFilters over the graph's filters as they were when it was made. It
// answers VFW_E_ENUM_OUT_OF_SYNC once the graph's membership has changed
// (a filter added or removed); Reset takes the filters again.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/filter_interfaces.h"

namespace ksv::media::graph {

class FilterEnumerator : public com::ComObject<IEnumFilters> {
 public:
  struct Snapshot {
    std::vector<com::ComPtr<IBaseFilter>> filters;
    uint32_t version = 0;
  };
  // `current` takes a snapshot now; `version` reads the membership version.
  FilterEnumerator(std::function<Snapshot()> current, std::function<uint32_t()> version);

  HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumFilters** copy) override;

 private:
  const std::function<Snapshot()> current_;
  const std::function<uint32_t()> version_;
  Snapshot snapshot_;
  size_t position_ = 0;
};

}  // namespace ksv::media::graph
