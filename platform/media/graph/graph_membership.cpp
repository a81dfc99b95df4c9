// The graph's filters: adding them under unique names, removing them,
// listing and finding them.
#include <cstdio>
#include <new>

#include "platform/media/graph/filter_enumerator.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/pin_walk.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::graph {
namespace {

// Room for the name and its terminating zero in FILTER_INFO.
constexpr size_t kLongestName = MAX_FILTER_NAME - 1;
constexpr char16_t kUnnamed[] = u"Filter";

}  // namespace

bool FilterGraph::ContainsLocked(IBaseFilter* filter) const {
  for (const Member& member : members_) {
    if (member.filter.Get() == filter) return true;
  }
  return false;
}

std::u16string FilterGraph::UniqueNameLocked(LPCWSTR wanted) const {
  const auto taken = [this](const std::u16string& name) {
    for (const Member& member : members_) {
      if (member.name == name) return true;
    }
    return false;
  };
  std::u16string base = wanted != nullptr && wanted[0] != 0 ? wanted : kUnnamed;
  if (base.size() > kLongestName) base.resize(kLongestName);
  if (wanted != nullptr && !taken(base)) return base;
  // " 0001", " 0002", ...: the base is cut so that the suffix fits.
  for (int number = 1; number <= 9999; ++number) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, " %04d", number);
    std::u16string name = base.substr(0, kLongestName - 5);
    for (const char* c = suffix; *c != 0; ++c) name.push_back(static_cast<char16_t>(*c));
    if (!taken(name)) return name;
  }
  return {};
}

std::vector<IBaseFilter*> FilterGraph::FiltersLocked() const {
  std::vector<IBaseFilter*> filters;
  filters.reserve(members_.size());
  for (const Member& member : members_) filters.push_back(member.filter.Get());
  return filters;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  if (filter == nullptr) return E_POINTER;
  Call call(*this);
  if (ContainsLocked(filter)) return E_INVALIDARG;
  const std::u16string unique = UniqueNameLocked(name);
  if (unique.empty()) return VFW_E_DUPLICATE_NAME;
  const HRESULT joined = filter->JoinFilterGraph(this, unique.c_str());
  if (FAILED(joined)) return joined;
  members_.push_back({com::ComPtr<IBaseFilter>(filter), unique});
  ++membershipVersion_;
  // A filter joins with the graph's clock; it stays stopped until the
  // graph's next state change reaches it.
  if (clock_) filter->SetSyncSource(clock_.Get());
  const bool renamed = name != nullptr && unique != std::u16string(name);
  return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (filter == nullptr) return E_POINTER;
  Call call(*this);
  size_t index = 0;
  while (index < members_.size() && members_[index].filter.Get() != filter) ++index;
  if (index == members_.size()) return E_FAIL;
  // Pins of a filter that is not stopped cannot be disconnected.
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  for (const com::ComPtr<IPin>& pin : PinsOf(filter)) {
    if (!PeerOf(pin.Get())) continue;
    const HRESULT result = DisconnectBothLocked(pin.Get());
    if (FAILED(result)) return result;
  }
  const com::ComPtr<IBaseFilter> removed = members_[index].filter;
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(index));
  ++membershipVersion_;
  removed->SetSyncSource(nullptr);
  removed->JoinFilterGraph(nullptr, nullptr);
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
  if (filters == nullptr) return E_POINTER;
  const auto snapshot = [this] {
    std::lock_guard guard(lock_);
    FilterEnumerator::Snapshot taken;
    taken.version = membershipVersion_;
    // Newest first, as the platform's graph lists them.
    for (auto it = members_.rbegin(); it != members_.rend(); ++it) taken.filters.push_back(it->filter);
    return taken;
  };
  const auto version = [this] {
    std::lock_guard guard(lock_);
    return membershipVersion_;
  };
  // The enumerator holds the graph: it calls back into it.
  com::ComPtr<IFilterGraph> keep(static_cast<IFilterGraph*>(this));
  auto* enumerator = new (std::nothrow) FilterEnumerator(
      [keep, snapshot] { return snapshot(); }, [keep, version] { return version(); });
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  *filters = enumerator;
  return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
  if (name == nullptr || filter == nullptr) return E_POINTER;
  *filter = nullptr;
  std::lock_guard guard(lock_);
  for (const Member& member : members_) {
    if (member.name == name) return member.filter.CopyTo(filter);
  }
  return VFW_E_NOT_FOUND;
}

}  // namespace ksv::media::graph
