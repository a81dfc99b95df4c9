// Graphs that run: state order, completion from several sinks, errors,
// events and their time-outs, release while running, the clock on
// simulated time. Every test here runs streaming threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/kernel/performance_counter.h"
#include "platform/media/graph/tests/graph_test_support.h"
#include "platform/media/graph/tests/test_filters.h"
#include "platform/sync/sync.h"
#include "platform/ui/user32.h"

namespace ksv::media::graph::testing {
namespace {

using com::ComPtr;
namespace kernel = platform::kernel;

template <class Filter, class... Args>
ComPtr<Filter> Make(Args&&... args) {
  return ComPtr<Filter>::Adopt(new Filter(std::forward<Args>(args)...));
}

class Running : public GraphTest {
 protected:
  void Chain(std::initializer_list<TestFilter*> filters) {
    TestFilter* previous = nullptr;
    for (TestFilter* filter : filters) {
      ASSERT_EQ(graph_->AddFilter(filter, nullptr), S_OK);
      if (previous != nullptr) {
        ASSERT_EQ(graph_->Connect(previous->Output(), filter->pin(0)), S_OK);
      }
      previous = filter;
    }
  }
  void NoClock() {
    ComPtr<IMediaFilter> media;
    ASSERT_EQ(graph_.As(&media), S_OK);
    ASSERT_EQ(media->SetSyncSource(nullptr), S_OK);
  }
};

TEST_F(Running, CompletesOnlyAfterEverySinkEnded) {
  NoClock();
  auto quick = Make<TestSource>(10, 1);
  auto slow = Make<TestSource>(10'000, 1);
  auto middle = Make<PassThrough>();
  auto sinkA = Make<CountingSink>();
  auto sinkB = Make<CountingSink>();
  Chain({quick.Get(), sinkA.Get()});
  Chain({slow.Get(), middle.Get(), sinkB.Get()});

  std::vector<std::pair<TestFilter*, FILTER_STATE>> order;
  std::mutex orderLock;
  for (TestFilter* filter : {static_cast<TestFilter*>(quick.Get()), static_cast<TestFilter*>(slow.Get()),
                             static_cast<TestFilter*>(middle.Get()), static_cast<TestFilter*>(sinkA.Get()),
                             static_cast<TestFilter*>(sinkB.Get())}) {
    filter->onStateChange = [&](TestFilter* f, FILTER_STATE s) {
      std::lock_guard guard(orderLock);
      order.emplace_back(f, s);
    };
  }
  ASSERT_EQ(control_->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(sinkA->received(), 10);
  EXPECT_EQ(sinkB->received(), 10'000);
  // No second completion waits in the queue: the sinks' own were held back.
  LONG_PTR p1 = 0, p2 = 0;
  EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  ASSERT_EQ(control_->Stop(), S_OK);
  for (TestFilter* filter : {static_cast<TestFilter*>(quick.Get()), static_cast<TestFilter*>(slow.Get()),
                             static_cast<TestFilter*>(middle.Get()), static_cast<TestFilter*>(sinkA.Get()),
                             static_cast<TestFilter*>(sinkB.Get())}) {
    filter->onStateChange = nullptr;
  }

  // Paused before running, each filter after those downstream of it.
  const auto position = [&](TestFilter* filter, FILTER_STATE state) {
    for (size_t i = 0; i < order.size(); ++i) {
      if (order[i] == std::make_pair(filter, state)) return i;
    }
    return order.size();
  };
  for (FILTER_STATE state : {State_Paused, State_Running, State_Stopped}) {
    EXPECT_LT(position(sinkB.Get(), state), position(middle.Get(), state));
    EXPECT_LT(position(middle.Get(), state), position(slow.Get(), state));
    EXPECT_LT(position(sinkA.Get(), state), position(quick.Get(), state));
  }
  EXPECT_LT(position(quick.Get(), State_Paused), position(sinkA.Get(), State_Running));
}

TEST_F(Running, WithDefaultHandlingCancelledEachSinkReportsItself) {
  NoClock();
  auto sourceA = Make<TestSource>(5, 1);
  auto sourceB = Make<TestSource>(5, 1);
  auto sinkA = Make<CountingSink>();
  auto sinkB = Make<CountingSink>();
  Chain({sourceA.Get(), sinkA.Get()});
  Chain({sourceB.Get(), sinkB.Get()});
  ASSERT_EQ(events_->CancelDefaultHandling(EC_COMPLETE), S_OK);
  EXPECT_EQ(events_->CancelDefaultHandling(EC_ERRORABORT), S_FALSE);
  ASSERT_EQ(control_->Run(), S_OK);
  std::vector<LONG_PTR> senders;
  for (int i = 0; i < 2; ++i) {
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, -1), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    senders.push_back(p2);
    EXPECT_EQ(events_->FreeEventParams(code, p1, p2), S_OK);
  }
  EXPECT_NE(senders[0], senders[1]);
  EXPECT_TRUE(senders[0] == reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(sinkA.Get())) ||
              senders[1] == reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(sinkA.Get())));
  control_->Stop();
}

TEST_F(Running, FailingSourceEndsTheWaitWithErrorAbort) {
  NoClock();
  auto source = Make<TestSource>(100, 1, std::vector<GUID>{kSubtypeA}, 7);
  auto sink = Make<CountingSink>();
  Chain({source.Get(), sink.Get()});
  ASSERT_EQ(control_->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(sink->received(), 7);
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(events_->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
}

TEST_F(Running, ReleasingARunningGraphStopsItsThreads) {
  NoClock();
  auto source = Make<TestSource>(int64_t{1} << 40, 1);
  auto sink = Make<CountingSink>();
  Chain({source.Get(), sink.Get()});
  ASSERT_EQ(control_->Run(), S_OK);
  while (sink->received() < 100) std::this_thread::yield();
  events_ = nullptr;
  control_ = nullptr;
  graph_ = nullptr;  // the last reference: stops, disconnects, lets go
  EXPECT_EQ(source->state(), State_Stopped);
  EXPECT_EQ(sink->graph(), nullptr);
  EXPECT_EQ(source->pin(0)->peer(), nullptr);
  const int64_t after = sink->received();
  EXPECT_EQ(sink->received(), after);
}

TEST_F(Running, RemovingARunningFilterFailsAndKeepsIt) {
  NoClock();
  auto source = Make<TestSource>(int64_t{1} << 40, 1);
  auto sink = Make<CountingSink>();
  Chain({source.Get(), sink.Get()});
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(graph_->RemoveFilter(sink.Get()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(sink->graph(), static_cast<IFilterGraph*>(graph_.Get()));
  EXPECT_EQ(source->pin(0)->peer(), sink->pin(0));
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(graph_->RemoveFilter(sink.Get()), S_OK);
}

TEST_F(Running, StopDuringACueingPauseEndsInStopped) {
  NoClock();
  auto source = Make<TestSource>(0, 1);  // never sends a sample
  auto sink = Make<CountingSink>();
  sink->CueOnFirstSample();
  Chain({source.Get(), sink.Get()});
  EXPECT_EQ(control_->Pause(), S_FALSE);
  OAFilterState state = -1;
  EXPECT_EQ(control_->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Paused);
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(control_->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(sink->state(), State_Stopped);
}

TEST_F(Running, EventsTimeOutOnTheCounterAndReachTheNotifyWindow) {
  kernel::SimulatedPerformanceCounter counter(10'000'000, 0, false);
  kernel::ScopedPerformanceCounter installed(counter);
  // Time passes only as this thread moves it.
  std::atomic<bool> done{false};
  std::thread mover([&] {
    while (!done.load()) {
      counter.Advance(10'000);  // 1 ms
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  LONG code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  const int64_t before = counter.Counter();
  EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 50), E_ABORT);
  EXPECT_GE(counter.Counter() - before, 50 * 10'000);

  // A real window of this thread; the module posts to it through the
  // windows layer and the event handle is a real event.
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "MediaGraphNotifyTest";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "MediaGraphNotifyTest", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  OAEVENT handle = 0;
  ASSERT_EQ(events_->GetEventHandle(&handle), S_OK);
  HANDLE event = reinterpret_cast<HANDLE>(handle);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  ASSERT_EQ(events_->SetNotifyWindow(reinterpret_cast<OAHWND>(window), 1025, 77), S_OK);
  ComPtr<IMediaEventSink> sink;
  ASSERT_EQ(graph_.As(&sink), S_OK);
  ASSERT_EQ(sink->Notify(EC_USER + 1, 5, 6), S_OK);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, 1025u);
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 77);
  EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE)) << "one message per event";
  ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "reset once the queue is empty";
  EXPECT_EQ(code, EC_USER + 1);
  EXPECT_EQ(p1, 5);
  EXPECT_EQ(p2, 6);
  // The repaint a renderer asks for is the graph's own business.
  ASSERT_EQ(sink->Notify(EC_REPAINT, 0, 0), S_OK);
  EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  ASSERT_EQ(events_->SetNotifyWindow(0, 0, 0), S_OK);
  ASSERT_EQ(sink->Notify(EC_USER, 0, 0), S_OK);
  EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
  DestroyWindow(window);
  done.store(true);
  mover.join();
}

// With the system clock on a simulated counter whose waits let time pass,
// the sink shows each sample at its presentation time: run start + sample
// time, never earlier, and the test takes no real time for it.
TEST_F(Running, ClockedGraphPresentsSamplesAtTheirTimes) {
  kernel::SimulatedPerformanceCounter counter(10'000'000, 1'000'000);
  kernel::ScopedPerformanceCounter installed(counter);
  constexpr REFERENCE_TIME kFrame = 333'333;  // 30 frames a second
  auto source = Make<TestSource>(30, kFrame);
  auto sink = Make<CountingSink>(std::vector<GUID>{kSubtypeA}, true);
  Chain({source.Get(), sink.Get()});
  ASSERT_EQ(control_->Run(), S_OK);
  ComPtr<IMediaFilter> media;
  ASSERT_EQ(graph_.As(&media), S_OK);
  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(media->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  const auto shown = sink->shown();
  ASSERT_EQ(shown.size(), 30u);
  const REFERENCE_TIME start = shown[0].second - shown[0].first;
  for (const auto& [time, at] : shown) {
    EXPECT_GE(at, start + time);
    EXPECT_LT(at, start + time + kFrame);
  }
  EXPECT_GE(shown.back().second - shown.front().second, 29 * kFrame);
  ASSERT_EQ(control_->Stop(), S_OK);
}

}  // namespace
}  // namespace ksv::media::graph::testing
