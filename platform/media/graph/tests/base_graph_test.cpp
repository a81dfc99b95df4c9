// Graphs of filters made on the base classes (base_filters.h), in a graph
// made by class identifier: reconnection from inside a connection,
// completion, errors from a streaming thread, releasing a running graph,
// the renderer's pause, stop and flush, and the clock on simulated time.
#include <gtest/gtest.h>

#include <thread>

#include "platform/kernel/performance_counter.h"
#include "platform/media/testing/harness.h"
#include "platform/media/graph/tests/graph_test_support.h"

namespace ksv::media::graph::testing {
namespace {

using media::testing::HarnessRenderer;
using media::testing::HarnessSource;
using media::testing::HarnessTransform;
using media::testing::NewHeld;

using com::ComPtr;
namespace kernel = platform::kernel;

constexpr REFERENCE_TIME kFrame = 333'333;  // 30 frames a second

class BaseGraph : public GraphTest {
 protected:
  ~BaseGraph() override {
    if (control_) control_->Stop();
    graph_ = nullptr;  // disconnects and lets the filters go
    events_ = nullptr;
    control_ = nullptr;
    for (IBaseFilter* filter : held_) filter->Release();
  }
  // Adds the filters and connects each one's output to the next one's input.
  void Chain(std::initializer_list<std::pair<IBaseFilter*, IPin*>> filters) {
    IPin* previous = nullptr;
    for (const auto& [filter, output] : filters) {
      ASSERT_EQ(graph_->AddFilter(filter, nullptr), S_OK);
      if (previous != nullptr) {
        IPin* input = nullptr;
        IEnumPins* pins = nullptr;
        filter->EnumPins(&pins);
        pins->Next(1, &input, nullptr);
        pins->Release();
        ASSERT_EQ(graph_->Connect(previous, input), S_OK);
        input->Release();
      }
      previous = output;
    }
  }
  template <class Filter, class... Args>
  Filter* Make(Args&&... args) {
    Filter* filter = NewHeld<Filter>(std::forward<Args>(args)...);
    held_.push_back(filter);
    return filter;
  }
  void NoClock() {
    ComPtr<IMediaFilter> media;
    ASSERT_EQ(graph_.As(&media), S_OK);
    ASSERT_EQ(media->SetSyncSource(nullptr), S_OK);
  }
  std::pair<IBaseFilter*, IPin*> Source(HarnessSource* source) { return {source, source->Output()}; }
  std::pair<IBaseFilter*, IPin*> Middle(HarnessTransform* middle) {
    return {middle, middle->Output()};
  }
  std::pair<IBaseFilter*, IPin*> End(HarnessRenderer* renderer) { return {renderer, nullptr}; }

  std::vector<IBaseFilter*> held_;
};

TEST_F(BaseGraph, ReconnectRequestedFromInsideConnectionIsDoneBeforeTheCallReturns) {
  auto* source = Make<HarnessSource>(1, 1);
  auto* middle = Make<HarnessTransform>();
  auto* renderer = Make<HarnessRenderer>();
  ASSERT_EQ(graph_->AddFilter(source, u"Source"), S_OK);
  ASSERT_EQ(graph_->AddFilter(middle, u"Middle"), S_OK);
  ASSERT_EQ(graph_->AddFilter(renderer, u"Renderer"), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(source->Output(), middle->Input(), nullptr), S_OK);
  middle->reconnectInputOnOutput = true;
  ASSERT_EQ(graph_->ConnectDirect(middle->Output(), renderer->Input(), nullptr), S_OK);
  EXPECT_EQ(middle->reconnectAnswer, S_OK);
  // The input was connected once before and once more by the reconnection.
  EXPECT_EQ(middle->inputConnections.load(), 2);
  ComPtr<IPin> peer;
  ASSERT_EQ(middle->Input()->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(peer.Get(), source->Output());
  ASSERT_EQ(middle->Output()->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(peer.Get(), renderer->Input());

  // From outside any graph call it is done at once; a lone pin cannot be.
  ASSERT_EQ(graph_->Reconnect(middle->Input()), S_OK);
  EXPECT_EQ(middle->inputConnections.load(), 3);
  auto* lonely = Make<HarnessRenderer>();
  ASSERT_EQ(graph_->AddFilter(lonely, nullptr), S_OK);
  EXPECT_EQ(graph_->Reconnect(lonely->Input()), VFW_E_NOT_CONNECTED);
  // And the reconnected graph streams.
  NoClock();
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(renderer->rendered(), 1);
}

TEST_F(BaseGraph, CompletionTwoSourcesEndOnlyAfterBoth) {
  NoClock();
  auto* quick = Make<HarnessSource>(10, 1);
  auto* slow = Make<HarnessSource>(10'000, 1);
  auto* middle = Make<HarnessTransform>();
  auto* rendererA = Make<HarnessRenderer>();
  auto* rendererB = Make<HarnessRenderer>();
  Chain({Source(quick), End(rendererA)});
  Chain({Source(slow), Middle(middle), End(rendererB)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // Both streams were whole when the wait ended.
  EXPECT_EQ(rendererA->rendered(), 10);
  EXPECT_EQ(rendererB->rendered(), 10'000);
  // The renderers' own completions were held back: none waits in the queue.
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(BaseGraph, CompletionWithDefaultHandlingCancelledEachRendererReportsItselfOnceRunning) {
  NoClock();
  auto* sourceA = Make<HarnessSource>(0, 1);  // ends at once, while paused
  auto* sourceB = Make<HarnessSource>(5, 1);
  auto* rendererA = Make<HarnessRenderer>();
  auto* rendererB = Make<HarnessRenderer>();
  Chain({Source(sourceA), End(rendererA)});
  Chain({Source(sourceB), End(rendererB)});
  ASSERT_EQ(events_->CancelDefaultHandling(EC_COMPLETE), S_OK);
  ASSERT_TRUE(SUCCEEDED(control_->Pause()));
  OAFilterState state = -1;
  ASSERT_EQ(control_->GetState(-1, &state), S_OK);
  LONG code = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  // The end of stream arrived while paused: reported only once running.
  EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  std::vector<LONG_PTR> senders;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, -1), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    senders.push_back(p2);
    events_->FreeEventParams(code, p1, p2);
  }
  std::sort(senders.begin(), senders.end());
  std::vector<LONG_PTR> expected = {reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(rendererA)),
                                    reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(rendererB))};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(senders, expected);
  EXPECT_EQ(rendererB->rendered(), 5);
}

TEST_F(BaseGraph, CompletionFailingSourceThreadGivesErrorAbort) {
  NoClock();
  auto* source = Make<HarnessSource>(100, 1, 7);
  auto* middle = Make<HarnessTransform>();
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), Middle(middle), End(renderer)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(renderer->rendered(), 7);
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(events_->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
}

TEST_F(BaseGraph, LifetimeReleasingARunningGraphStopsItsThreads) {
  NoClock();
  auto* source = Make<HarnessSource>(int64_t{1} << 40, 1);
  auto* middle = Make<HarnessTransform>();
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), Middle(middle), End(renderer)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  while (renderer->rendered() < 100) std::this_thread::yield();
  events_ = nullptr;
  control_ = nullptr;
  graph_ = nullptr;  // the last reference: stops, disconnects, lets go
  FILTER_STATE state = State_Running;
  EXPECT_EQ(source->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(renderer->GetFilterGraph(), nullptr);
  EXPECT_FALSE(static_cast<CBasePin*>(renderer->GetPin(0))->IsConnected());
  const int64_t after = renderer->rendered();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(renderer->rendered(), after) << "no thread delivers after the release";
}

TEST_F(BaseGraph, LifetimeRemovingARunningFilterFailsAndKeepsIt) {
  NoClock();
  auto* source = Make<HarnessSource>(int64_t{1} << 40, 1);
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), End(renderer)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  EXPECT_EQ(graph_->RemoveFilter(renderer), VFW_E_NOT_STOPPED);
  EXPECT_EQ(renderer->GetFilterGraph(), static_cast<IFilterGraph*>(graph_.Get()));
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(graph_->RemoveFilter(renderer), S_OK);
}

// Paused, the renderer holds the first sample (the streaming thread waits)
// and the graph's state is complete; the sample is presented once running.
TEST_F(BaseGraph, RendererPausedHoldsTheFirstSampleUntilRun) {
  NoClock();
  auto* source = Make<HarnessSource>(3, kFrame);
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), End(renderer)});
  const HRESULT paused = control_->Pause();
  EXPECT_TRUE(paused == S_OK || paused == S_FALSE);
  OAFilterState state = -1;
  ASSERT_EQ(control_->GetState(-1, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(renderer->firstSamples(), 1);
  EXPECT_EQ(renderer->rendered(), 0);
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(renderer->rendered(), 3);
  EXPECT_EQ(renderer->firstSamples(), 1);
}

// Paused with no sample yet, the renderer's state is intermediate and
// Pause says so; Stop ends it.
TEST_F(BaseGraph, RendererPauseWithoutASampleIsIntermediateUntilStop) {
  auto* source = Make<HarnessSource>(1, 1);
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), End(renderer)});
  // The renderer alone pauses: its source sends nothing.
  EXPECT_EQ(renderer->Pause(), S_FALSE);
  FILTER_STATE state = State_Stopped;
  EXPECT_EQ(renderer->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Paused);
  ASSERT_EQ(renderer->Stop(), S_OK);
  EXPECT_EQ(renderer->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
}

class ClockedGraph : public BaseGraph {
 protected:
  // A counter that moves only as tests (or the clock's sleepers) move it.
  void Install(bool waitsAdvance) {
    counter_.emplace(10'000'000, 1'000'000, waitsAdvance);
    installed_.emplace(*counter_);
  }
  ~ClockedGraph() override {
    if (control_) control_->Stop();
  }
  std::optional<kernel::SimulatedPerformanceCounter> counter_;
  std::optional<kernel::ScopedPerformanceCounter> installed_;
};

// With the system clock on a simulated counter whose waits let time pass,
// each sample is presented at run start + its time, never earlier, and the
// test takes no real time for it.
TEST_F(ClockedGraph, ClockSamplesArePresentedAtTheirTimes) {
  Install(true);
  auto* source = Make<HarnessSource>(30, kFrame);
  auto* middle = Make<HarnessTransform>();
  auto* renderer = Make<HarnessRenderer>(true);
  Chain({Source(source), Middle(middle), End(renderer)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  const auto shown = renderer->shown();
  ASSERT_EQ(shown.size(), 30u);
  const REFERENCE_TIME start = shown[0].second - shown[0].first;
  for (const auto& [time, at] : shown) {
    EXPECT_GE(at, start + time);
    EXPECT_LT(at, start + time + kFrame);
  }
  EXPECT_GE(shown.back().second - shown.front().second, 29 * kFrame);
  ASSERT_EQ(control_->Stop(), S_OK);
}

// The counter stands still: the second sample waits for a time that never
// comes. Stop and a flush release a waiting sample at once.
TEST_F(ClockedGraph, RendererStopAndFlushReleaseAWaitingSample) {
  Install(false);
  auto* source = Make<HarnessSource>(3, 10 * 10'000'000);  // 10 s apart
  auto* renderer = Make<HarnessRenderer>();
  Chain({Source(source), End(renderer)});
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  while (renderer->rendered() < 1) std::this_thread::yield();
  // The next sample is in the renderer now or soon, waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(renderer->rendered(), 1);
  ASSERT_EQ(renderer->GetPin(0)->BeginFlush(), S_OK);
  ASSERT_EQ(renderer->GetPin(0)->EndFlush(), S_OK);
  ASSERT_EQ(control_->Stop(), S_OK);  // returns: nothing waits for ever
  EXPECT_EQ(renderer->rendered(), 1);

  // Again, released by Stop alone.
  ASSERT_TRUE(SUCCEEDED(control_->Run()));  // S_FALSE: a renderer still cueing
  const int64_t before = renderer->rendered();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_LE(renderer->rendered(), before + 1);
}

TEST_F(ClockedGraph, ClockAdvisePeriodicReleasesTheSemaphoreEachPeriod) {
  Install(false);
  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(clock.ReleaseAndGetAddressOf())),
            S_OK);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 100, nullptr);
  REFERENCE_TIME now = 0;
  clock->GetTime(&now);
  ULONG_PTR cookie = 0;
  ASSERT_EQ(clock->AdvisePeriodic(now + 1000, 1000, ClockHandleOf(semaphore), &cookie), S_OK);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  counter_->Advance(3500 / 1);  // 10 MHz: 1 tick is 100 ns
  // Three periods passed: three releases (the clock's thread may take a moment).
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(semaphore, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(clock->Unadvise(cookie), S_OK);
  EXPECT_EQ(clock->Unadvise(cookie), S_FALSE);
  counter_->Advance(5000);
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT) << "nothing after Unadvise";
  CloseHandle(semaphore);
}

}  // namespace
}  // namespace ksv::media::graph::testing
