// The filter graph manager: membership, connections, reconnection, state
// changes and their order, events and completion, the clock.
#include <gtest/gtest.h>

#include <utility>

#include "platform/kernel/performance_counter.h"
#include "platform/media/graph/tests/graph_test_support.h"
#include "platform/media/graph/tests/test_filters.h"

namespace ksv::media::graph::testing {
namespace {

using com::ComPtr;

template <class Filter, class... Args>
ComPtr<Filter> Make(Args&&... args) {
  return ComPtr<Filter>::Adopt(new Filter(std::forward<Args>(args)...));
}

class Graphs : public GraphTest {
 protected:
  HRESULT Add(TestFilter* filter, const char16_t* name = nullptr) {
    return graph_->AddFilter(filter, name);
  }
  HRESULT Link(TestFilter* from, size_t out, TestFilter* to, size_t in) {
    return graph_->ConnectDirect(from->pin(out), to->pin(in), nullptr);
  }
};

TEST_F(Graphs, NamesAreMadeUniqueAndFiltersFoundByThem) {
  auto a = Make<CountingSink>();
  auto b = Make<CountingSink>();
  auto c = Make<CountingSink>();
  EXPECT_EQ(Add(a.Get(), u"Sink"), S_OK);
  EXPECT_EQ(Add(b.Get(), u"Sink"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(b->name(), u"Sink 0001");
  EXPECT_EQ(Add(c.Get()), S_OK);
  EXPECT_FALSE(c->name().empty());
  EXPECT_EQ(b->graph(), static_cast<IFilterGraph*>(graph_.Get()));
  EXPECT_EQ(Add(a.Get(), u"Again"), E_INVALIDARG);

  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph_->FindFilterByName(u"Sink 0001", found.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(b.Get()));
  EXPECT_EQ(graph_->FindFilterByName(u"Nobody", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);

  ComPtr<IEnumFilters> list;
  ASSERT_EQ(graph_->EnumFilters(list.ReleaseAndGetAddressOf()), S_OK);
  IBaseFilter* filters[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(list->Next(4, filters, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 3u);
  for (ULONG i = 0; i < fetched; ++i) filters[i]->Release();
  ASSERT_EQ(graph_->RemoveFilter(a.Get()), S_OK);
  EXPECT_EQ(a->graph(), nullptr);
  EXPECT_EQ(list->Next(1, filters, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(graph_->RemoveFilter(a.Get()), E_FAIL);
}

TEST_F(Graphs, ConnectionsCheckDirectionTypesAndMembership) {
  auto source = Make<TestSource>(1, 1, std::vector<GUID>{kSubtypeA, kSubtypeB});
  auto sink = Make<CountingSink>(std::vector<GUID>{kSubtypeB});
  auto refuser = Make<CountingSink>(std::vector<GUID>{});
  auto stranger = Make<CountingSink>();
  ASSERT_EQ(Add(source.Get()), S_OK);
  ASSERT_EQ(Add(sink.Get()), S_OK);
  ASSERT_EQ(Add(refuser.Get()), S_OK);

  // Input to output is the wrong way round.
  EXPECT_EQ(graph_->ConnectDirect(sink->pin(0), source->pin(0), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(graph_->Connect(sink->pin(0), source->pin(0)), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(graph_->ConnectDirect(source->pin(0), stranger->pin(0), nullptr), VFW_E_NOT_IN_GRAPH);
  // A filter that refuses every type cannot be connected, not even by Connect.
  EXPECT_EQ(graph_->Connect(source->pin(0), refuser->pin(0)), VFW_E_CANNOT_CONNECT);
  EXPECT_EQ(refuser->pin(0)->peer(), nullptr);
  // The source's first type is refused; Connect finds the second.
  AM_MEDIA_TYPE typeA{};
  typeA.majortype = MEDIATYPE_Video;
  typeA.subtype = kSubtypeA;
  EXPECT_TRUE(FAILED(graph_->ConnectDirect(source->pin(0), sink->pin(0), &typeA)));
  ASSERT_EQ(graph_->Connect(source->pin(0), sink->pin(0)), S_OK);
  EXPECT_EQ(sink->pin(0)->subtype(), kSubtypeB);
  EXPECT_EQ(graph_->Connect(source->pin(0), refuser->pin(0)), VFW_E_ALREADY_CONNECTED);

  // Removing a filter disconnects both sides of its pins.
  ASSERT_EQ(graph_->RemoveFilter(sink.Get()), S_OK);
  EXPECT_EQ(source->pin(0)->peer(), nullptr);
  EXPECT_EQ(sink->pin(0)->peer(), nullptr);
}

}  // namespace
}  // namespace ksv::media::graph::testing
