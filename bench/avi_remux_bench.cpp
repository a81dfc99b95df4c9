// Remultiplexing an AVI file through the filter graph: File Source (Async.)
// -> AVI Splitter -> AVI Mux -> File writer, against `ffmpeg -c copy` on the
// same file in the same run. The input (over 200 MB: Motion-JPEG-sized
// video chunks of random bytes at 30 frames a second, and 16-bit stereo
// PCM) is written first with our AVI writer and read once, so both
// remultiplexers read it from the page cache. Reports seconds, MB/s and the
// ratio of our time to ffmpeg's, for the mux's arrival-order (capture)
// interleaving and for full interleaving.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/large_avi.h"
#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"

namespace {

using ksv::com::ComPtr;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "avi_remux_bench: %s\n", why.c_str());
  std::exit(1);
}

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    Fail(std::string(what) + " failed with " + code);
  }
}

HRESULT Register(const std::string& module) {
  const std::string path = std::string(KSV_MODULE_DIR) + "/" + module;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) Fail("cannot load " + path + ": " + dlerror());
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
  const HRESULT result = entry != nullptr ? entry() : E_FAIL;
  dlclose(handle);
  return result;
}

ComPtr<IBaseFilter> Make(REFCLSID clsid, IGraphBuilder* graph, LPCWSTR name) {
  ComPtr<IBaseFilter> filter;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(filter.ReleaseAndGetAddressOf())),
        "CoCreateInstance");
  Check(graph->AddFilter(filter.Get(), name), "AddFilter");
  return filter;
}

// The filter's pins in the direction asked, connected or not.
std::vector<ComPtr<IPin>> Pins(IBaseFilter* filter, PIN_DIRECTION wanted, bool unconnectedOnly) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> each;
  Check(filter->EnumPins(each.ReleaseAndGetAddressOf()), "EnumPins");
  IPin* pin = nullptr;
  while (each->Next(1, &pin, nullptr) == S_OK) {
    auto held = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION direction;
    held->QueryDirection(&direction);
    ComPtr<IPin> partner;
    const bool connected = held->ConnectedTo(partner.ReleaseAndGetAddressOf()) == S_OK;
    if (direction == wanted && !(unconnectedOnly && connected)) pins.push_back(held);
  }
  return pins;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Timed from the graph's creation, so reading the file's headers and index
// counts, as ffmpeg's probing does in its time.
double RunGraph(const std::string& in, const std::string& out, InterleavingMode mode) {
  const auto start = std::chrono::steady_clock::now();
  ComPtr<IGraphBuilder> graph;
  Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())),
        "filter graph");
  ComPtr<IMediaFilter> media;
  graph.As(&media);
  media->SetSyncSource(nullptr);  // as fast as the filters go

  auto source = Make(CLSID_AsyncReader, graph.Get(), u"Source");
  ComPtr<IFileSourceFilter> load;
  source.As(&load);
  Check(load->Load(Wide(in).c_str(), nullptr), "File Source Load");
  auto splitter = Make(CLSID_AviSplitter, graph.Get(), u"Splitter");
  auto mux = Make(CLSID_AviDest, graph.Get(), u"Mux");
  ComPtr<IConfigInterleaving> interleaving;
  mux.As(&interleaving);
  Check(interleaving->put_Mode(mode), "put_Mode");
  auto writer = Make(CLSID_FileWriter, graph.Get(), u"Writer");
  ComPtr<IFileSinkFilter> sink;
  writer.As(&sink);
  Check(sink->SetFileName(Wide(out).c_str(), nullptr), "File writer SetFileName");

  Check(graph->ConnectDirect(Pins(source.Get(), PINDIR_OUTPUT, false)[0].Get(),
                             Pins(splitter.Get(), PINDIR_INPUT, false)[0].Get(), nullptr),
        "source to splitter");
  for (const ComPtr<IPin>& output : Pins(splitter.Get(), PINDIR_OUTPUT, false)) {
    Check(graph->ConnectDirect(output.Get(), Pins(mux.Get(), PINDIR_INPUT, true)[0].Get(),
                               nullptr),
          "splitter to mux");
  }
  Check(graph->ConnectDirect(Pins(mux.Get(), PINDIR_OUTPUT, false)[0].Get(),
                             Pins(writer.Get(), PINDIR_INPUT, false)[0].Get(), nullptr),
        "mux to writer");

  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  graph.As(&control);
  graph.As(&events);
  Check(control->Run(), "Run");
  LONG code = 0;
  events->WaitForCompletion(-1, &code);
  control->Stop();
  const auto end = std::chrono::steady_clock::now();
  if (code != EC_COMPLETE) Fail("the graph did not complete (code " + std::to_string(code) + ")");
  return std::chrono::duration<double>(end - start).count();
}

// No earlier output, and nothing left for the kernel to write back.
void Settle(const std::string& first, const std::string& second) {
  std::filesystem::remove(first);
  std::filesystem::remove(second);
  sync();
}

double RunFfmpeg(const std::string& in, const std::string& out) {
  const auto start = std::chrono::steady_clock::now();
  if (!ksv::bench::FfmpegCopy(in, out)) Fail("ffmpeg failed");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


}  // namespace

int main() {
  char folder[] = "/tmp/ksv-remux-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string root = folder;
  std::filesystem::create_directories(root + "/root");
  ::setenv("KSV_ROOT", (root + "/root").c_str(), 1);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  for (const char* module : {"ksvmedia.so", "ksvfilesource.so", "ksvavisplit.so", "ksvavimux.so",
                             "ksvfilewriter.so"}) {
    Check(Register(module), module);
  }

  const std::string in = root + "/in.avi";
  ksv::bench::WriteLargeAvi(in, 640, 480);
  const double megabytes = static_cast<double>(std::filesystem::file_size(in)) / 1e6;
  const auto expected = ksv::bench::AviContents(in);
  ksv::bench::WarmPageCache(in);
  std::printf("input: %.1f MB, %zu video frames, %llu audio bytes\n", megabytes, expected.first,
              static_cast<unsigned long long>(expected.second));

  // Rounds of ffmpeg, then each mode of ours, each run after the earlier
  // files are gone and the page cache's dirty pages are written back, so
  // no run pays for another's writes; each figure is the median of three.
  const std::string copy = root + "/ffmpeg.avi";
  const std::string out = root + "/ours.avi";
  const std::pair<const char*, InterleavingMode> modes[] = {
      {"capture interleaving", INTERLEAVE_CAPTURE}, {"full interleaving", INTERLEAVE_FULL}};
  std::vector<double> ffmpegTimes;
  std::vector<std::vector<double>> ourTimes(std::size(modes));
  bool whole = true;
  for (int round = 0; round < 3; ++round) {
    Settle(copy, out);
    ffmpegTimes.push_back(RunFfmpeg(in, copy));
    if (ksv::bench::AviContents(copy) != expected) Fail("ffmpeg's copy does not hold what the input does");
    for (size_t m = 0; m < std::size(modes); ++m) {
      Settle(copy, out);
      ourTimes[m].push_back(RunGraph(in, out, modes[m].second));
      const auto got = ksv::bench::AviContents(out);
      if (got != expected) {
        std::fprintf(stderr, "graph remux (%s): %zu frames and %llu audio bytes written\n",
                     modes[m].first, got.first, static_cast<unsigned long long>(got.second));
        whole = false;
      }
    }
  }
  const double ffmpeg = ksv::bench::Median(ffmpegTimes);
  std::printf("ffmpeg -c copy: %.3f s, %.1f MB/s\n", ffmpeg, megabytes / ffmpeg);
  for (size_t m = 0; m < std::size(modes); ++m) {
    const double ours = ksv::bench::Median(ourTimes[m]);
    std::printf("graph remux (%s): %.3f s, %.1f MB/s, ours/ffmpeg %.2f\n", modes[m].first, ours,
                megabytes / ours, ours / ffmpeg);
  }
  CoUninitialize();
  std::filesystem::remove_all(root);
  return whole ? 0 : 1;
}
