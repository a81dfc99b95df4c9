// The filter graph's streaming overhead: samples pushed through a source, a
// pass-through transform and a null renderer in a graph made by class
// identifier, no clock (SetSyncSource(NULL)), as fast as the filters allow.
// Twice: with the filters made on the base classes (CSource, CTransformFilter,
// CBaseRenderer, real allocators: what a filter costs), and with hand-made
// filters that hand on bare times (the graph's own floor). Reports samples
// per second, the cost of one sample, and the allocations of a run, which
// must not grow with its length (nothing per sample) once a first run is
// behind it.
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/testing/harness.h"
#include "platform/media/graph/tests/test_filters.h"
#include "platform/media/media.h"
#include "testing/allocation_counter.h"

namespace {

using ksv::com::ComPtr;
namespace graphtest = ksv::media::graph::testing;
namespace harness = ksv::media::testing;

struct Outcome {
  double seconds;
  long allocations;
};

ComPtr<IGraphBuilder> NewGraph() {
  ComPtr<IGraphBuilder> graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())))) {
    std::fprintf(stderr, "no filter graph\n");
    std::exit(1);
  }
  ComPtr<IMediaFilter> media;
  graph.As(&media);
  media->SetSyncSource(nullptr);
  return graph;
}

// Runs the connected graph to its end; the allocations are counted from
// Run to Stop.
Outcome Play(IGraphBuilder* graph, int64_t samples) {
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  graph->QueryInterface(IID_PPV_ARGS(control.ReleaseAndGetAddressOf()));
  graph->QueryInterface(IID_PPV_ARGS(events.ReleaseAndGetAddressOf()));
  const long before = ksv::testing::AllocationCount();
  const auto start = std::chrono::steady_clock::now();
  control->Run();
  LONG code = 0;
  events->WaitForCompletion(-1, &code);
  const auto end = std::chrono::steady_clock::now();
  control->Stop();
  const long allocations = ksv::testing::AllocationCount() - before;
  if (code != EC_COMPLETE) {
    std::fprintf(stderr, "run of %lld samples did not complete (code %d)\n",
                 static_cast<long long>(samples), static_cast<int>(code));
    std::exit(1);
  }
  return {std::chrono::duration<double>(end - start).count(), allocations};
}

Outcome RunBase(int64_t samples) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  auto* source = harness::NewHeld<harness::HarnessSource>(samples, 1);
  auto* middle = harness::NewHeld<harness::HarnessTransform>();
  auto* renderer = harness::NewHeld<harness::HarnessRenderer>();
  graph->AddFilter(source, u"Source");
  graph->AddFilter(middle, u"Transform");
  graph->AddFilter(renderer, u"Renderer");
  graph->Connect(source->Output(), middle->Input());
  graph->Connect(middle->Output(), renderer->Input());
  const Outcome outcome = Play(graph.Get(), samples);
  if (renderer->rendered() != samples) {
    std::fprintf(stderr, "base filters: %lld of %lld samples rendered\n",
                 static_cast<long long>(renderer->rendered()), static_cast<long long>(samples));
    std::exit(1);
  }
  graph = nullptr;
  source->Release();
  middle->Release();
  renderer->Release();
  return outcome;
}

Outcome RunHand(int64_t samples) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  auto source = ComPtr<graphtest::TestSource>::Adopt(new graphtest::TestSource(samples, 1));
  auto middle = ComPtr<graphtest::PassThrough>::Adopt(new graphtest::PassThrough());
  auto sink = ComPtr<graphtest::CountingSink>::Adopt(new graphtest::CountingSink());
  graph->AddFilter(source.Get(), u"Source");
  graph->AddFilter(middle.Get(), u"Transform");
  graph->AddFilter(sink.Get(), u"Renderer");
  graph->Connect(source->Output(), middle->pin(0));
  graph->Connect(middle->Output(), sink->pin(0));
  const Outcome outcome = Play(graph.Get(), samples);
  if (sink->received() != samples) {
    std::fprintf(stderr, "hand filters: %lld of %lld samples received\n",
                 static_cast<long long>(sink->received()), static_cast<long long>(samples));
    std::exit(1);
  }
  return outcome;
}

// Reports one kind of filter and gives its nanoseconds per sample (0 when
// streaming allocated per sample).
double Report(const char* name, Outcome (*run)(int64_t)) {
  run(1'000);  // the first run: whatever is made once
  const Outcome shortRun = run(10'000);
  constexpr int64_t kSamples = 1'000'000;
  const Outcome longRun = run(kSamples);
  std::printf("%s: %lld samples in %.3f s: %.0f samples/s, %.1f ns per sample\n", name,
              static_cast<long long>(kSamples), longRun.seconds, kSamples / longRun.seconds,
              longRun.seconds * 1e9 / kSamples);
  const double perSample =
      static_cast<double>(longRun.allocations - shortRun.allocations) / (kSamples - 10'000);
  std::printf("%s: allocations from Run to Stop: %ld for 10,000 samples, %ld for 1,000,000 "
              "(%.6f per sample)\n",
              name, shortRun.allocations, longRun.allocations, perSample);
  // What a run makes once varies by a few allocations (threads, event
  // queues); a hundred times more samples must not bring more than that.
  if (longRun.allocations > shortRun.allocations + 32) {
    std::fprintf(stderr, "%s: streaming allocates per sample\n", name);
    return 0;
  }
  return longRun.seconds * 1e9 / kSamples;
}

HRESULT RegisterModule() {
  void* module = dlopen(KSV_MEDIA_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return E_FAIL;
  auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
  const HRESULT result = reg != nullptr ? reg() : E_FAIL;
  dlclose(module);
  return result;
}

}  // namespace

int main() {
  // A system root of its own, with the media module registered in it.
  char root[] = "/tmp/ksv-media-bench-XXXXXX";
  if (mkdtemp(root) == nullptr) return 1;
  ::setenv("KSV_ROOT", root, 1);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(RegisterModule())) {
    std::fprintf(stderr, "cannot register %s\n", KSV_MEDIA_MODULE);
    return 1;
  }
  // The anchor: filters that hand samples on by direct calls, the cost of
  // the framework alone; the base classes add allocators, samples and locks.
  const double base = Report("base classes", &RunBase);
  const double floor = Report("hand filters", &RunHand);
  const bool ok = base > 0 && floor > 0;
  if (ok) {
    std::printf("base classes: %.1f x the hand filters' cost per sample (%.1f ns more)\n",
                base / floor, base - floor);
  }
  CoUninitialize();
  std::system((std::string("rm -rf ") + root).c_str());
  return ok ? 0 : 1;
}
