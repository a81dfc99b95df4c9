// Graphs of hand-made filters that see every state change: the order the
// graph changes states in; and the graph's events, which need no filters.
// (Streaming, completion, errors, lifetime and the clock run on the base
// classes: base_graph_test.cpp.)
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

TEST_F(Running, StatesChangeDownstreamFirstAndCompletionWaitsForEverySink) {
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

TEST_F(Running, EventsTimeOutOnTheCounterAndReachTheNotifyWindowAndHandle) {
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

TEST_F(Running, FirstStreamErrorIsKeptUntilTheGraphLeavesTheStoppedState) {
  ComPtr<IGraphStreamErrors> errors;
  ASSERT_EQ(graph_.As(&errors), S_OK);
  ComPtr<IMediaEventSink> sink;
  ASSERT_EQ(graph_.As(&sink), S_OK);
  HRESULT error = E_UNEXPECTED;
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_FALSE);
  EXPECT_EQ(error, S_OK);

  ASSERT_EQ(control_->Run(), S_OK);
  sink->Notify(EC_USER + 1, E_OUTOFMEMORY, 0);  // not an error event
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_FALSE);
  sink->Notify(EC_STREAM_ERROR_STOPPED, E_ACCESSDENIED, 0);
  sink->Notify(EC_ERRORABORT, E_FAIL, 0);
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_OK);
  EXPECT_EQ(error, E_ACCESSDENIED);
  // Stopping keeps it (a sink asks while the graph stops); pausing again
  // from stopped forgets it, and so does running from stopped.
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_OK);
  EXPECT_EQ(error, E_ACCESSDENIED);
  ASSERT_EQ(control_->Pause(), S_OK);
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_FALSE);
  // An error event without a failure code still counts as an error.
  sink->Notify(EC_ERRORABORT, S_OK, 0);
  ASSERT_EQ(control_->Run(), S_OK);  // from paused: kept
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_OK);
  EXPECT_EQ(error, E_FAIL);
  ASSERT_EQ(control_->Stop(), S_OK);
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(errors->GetFirstStreamError(&error), S_FALSE);
  ASSERT_EQ(control_->Stop(), S_OK);
}

}  // namespace
}  // namespace ksv::media::graph::testing
