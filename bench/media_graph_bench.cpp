// The filter graph's streaming overhead: samples pushed through a source, a
// pass-through transform and a null renderer, no clock, as fast as the
// filters allow. Reports samples per second and the cost of one sample,
// and checks that a run allocates the same whatever its length (nothing
// per sample) once the first run is behind it.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/com/com_ptr.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/tests/test_filters.h"
#include "testing/allocation_counter.h"

namespace {

using ksv::com::ComPtr;
using namespace ksv::media::graph;
using namespace ksv::media::graph::testing;

struct Outcome {
  double seconds;
  long allocations;
};

Outcome RunOnce(int64_t samples) {
  auto graph = ComPtr<FilterGraph>::Adopt(new FilterGraph());
  auto source = ComPtr<TestSource>::Adopt(new TestSource(samples, 1));
  auto middle = ComPtr<PassThrough>::Adopt(new PassThrough());
  auto sink = ComPtr<CountingSink>::Adopt(new CountingSink());
  graph->AddFilter(source.Get(), u"Source");
  graph->AddFilter(middle.Get(), u"Transform");
  graph->AddFilter(sink.Get(), u"Renderer");
  graph->Connect(source->Output(), middle->pin(0));
  graph->Connect(middle->Output(), sink->pin(0));
  static_cast<IMediaFilter*>(graph.Get())->SetSyncSource(nullptr);

  const long allocationsBefore = ksv::testing::AllocationCount();
  const auto start = std::chrono::steady_clock::now();
  graph->Run();
  LONG code = 0;
  graph->WaitForCompletion(-1, &code);
  const auto end = std::chrono::steady_clock::now();
  graph->Stop();
  const long allocations = ksv::testing::AllocationCount() - allocationsBefore;
  if (code != EC_COMPLETE || sink->received() != samples) {
    std::fprintf(stderr, "run of %lld samples did not complete (code %d, %lld received)\n",
                 static_cast<long long>(samples), static_cast<int>(code),
                 static_cast<long long>(sink->received()));
    std::exit(1);
  }
  return {std::chrono::duration<double>(end - start).count(), allocations};
}

}  // namespace

int main() {
  RunOnce(1'000);  // the first run: whatever is made once
  const Outcome shortRun = RunOnce(10'000);
  constexpr int64_t kSamples = 1'000'000;
  const Outcome longRun = RunOnce(kSamples);
  std::printf("samples: %lld in %.3f s: %.0f samples/s, %.1f ns per sample\n",
              static_cast<long long>(kSamples), longRun.seconds, kSamples / longRun.seconds,
              longRun.seconds * 1e9 / kSamples);
  std::printf("allocations per run: %ld for 10,000 samples, %ld for 1,000,000\n",
              shortRun.allocations, longRun.allocations);
  if (longRun.allocations != shortRun.allocations) {
    std::fprintf(stderr, "streaming allocates per sample\n");
    return 1;
  }
  return 0;
}
