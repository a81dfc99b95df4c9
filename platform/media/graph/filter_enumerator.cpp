#include "platform/media/graph/filter_enumerator.h"

#include <new>

#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {

FilterEnumerator::FilterEnumerator(std::function<Snapshot()> current,
                                   std::function<uint32_t()> version)
    : current_(std::move(current)), version_(std::move(version)), snapshot_(current_()) {}

HRESULT FilterEnumerator::Next(ULONG count, IBaseFilter** filters, ULONG* fetched) {
  if (filters == nullptr) return E_POINTER;
  if (count > 1 && fetched == nullptr) return E_INVALIDARG;
  if (fetched != nullptr) *fetched = 0;
  if (version_() != snapshot_.version) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG given = 0;
  while (given < count && position_ < snapshot_.filters.size()) {
    snapshot_.filters[position_++].CopyTo(&filters[given++]);
  }
  if (fetched != nullptr) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

HRESULT FilterEnumerator::Skip(ULONG count) {
  if (version_() != snapshot_.version) return VFW_E_ENUM_OUT_OF_SYNC;
  const size_t left = snapshot_.filters.size() - position_;
  position_ += std::min<size_t>(count, left);
  return count <= left ? S_OK : S_FALSE;
}

HRESULT FilterEnumerator::Reset() {
  snapshot_ = current_();
  position_ = 0;
  return S_OK;
}

HRESULT FilterEnumerator::Clone(IEnumFilters** copy) {
  if (copy == nullptr) return E_POINTER;
  auto* clone = new (std::nothrow) FilterEnumerator(current_, version_);
  if (clone == nullptr) return E_OUTOFMEMORY;
  clone->snapshot_ = snapshot_;
  clone->position_ = position_;
  *copy = clone;
  return S_OK;
}

}  // namespace ksv::media::graph
