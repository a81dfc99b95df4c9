// Our decoder against libjpeg-turbo (the anchor) on the same pictures: the
// shared reference frames and the standard JPEG files cut from the same
// entropy data. Prints frames per second of both and their ratio.
//
//   build/bench/codec_bench [--benchmark_min_time=0.5]
//
// The last column, "interleaved", takes both decoders in turns (see
// InterleavedRatio): the ratio to trust on a busy machine.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "support/test_data.h"

using namespace ksv::codec;

namespace {

const char* const kPhotos[] = {"astronaut", "chelsea", "coffee", "hubble_deep_field"};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DataPath(const std::string& name) {
  return ksv::support::TestDataPath("frames/" + name).string();
}

struct Case {
  FrameSize size;
  int level;
  bool planar;
  std::string Label() const {
    return std::to_string(size.width) + "x" + std::to_string(size.height) + " L" + std::to_string(level) +
           (planar ? " planar" : " bgr24");
  }
};

struct Inputs {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::vector<uint8_t>> jpegs;
};

Inputs Load(const Case& c) {
  Inputs in;
  std::string suffix = "_" + std::to_string(c.size.width) + "x" + std::to_string(c.size.height) + "_L" +
                       std::to_string(c.level);
  for (const char* photo : kPhotos) {
    in.frames.push_back(ReadFile(DataPath(photo + suffix + ".frame")));
    in.jpegs.push_back(ReadFile(DataPath(photo + suffix + ".jpg")));
  }
  return in;
}

void Ours(benchmark::State& state, Case c) {
  Inputs in = Load(c);
  DecoderTables decoder;
  if (!decoder.SetUp()) return state.SkipWithError("decoder set-up failed");
  DecoderContext context;
  std::vector<uint8_t> out(Rgb24Bytes(c.size));
  uint32_t compression = c.planar ? kCompressionI420 : kCompressionRgb;
  size_t i = 0;
  for (auto _ : state) {
    uint32_t written = 0;
    const auto& frame = in.frames[i++ % in.frames.size()];
    if (!decoder.DecodeFrame(context, frame, out, written, c.size, c.size, compression))
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void TurboJpeg(benchmark::State& state, Case c) {
  Inputs in = Load(c);
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> out(Rgb24Bytes(c.size));
  int w = static_cast<int>(c.size.width), h = static_cast<int>(c.size.height);
  size_t i = 0;
  for (auto _ : state) {
    auto& jpeg = in.jpegs[i++ % in.jpegs.size()];
    int rc = c.planar ? tjDecompressToYUV2(handle, jpeg.data(), jpeg.size(), out.data(), w, 1, h, TJFLAG_FASTDCT)
                      : tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), w, 0, h, TJPF_BGR,
                                      TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_BOTTOMUP);
    if (rc != 0) {
      tjDestroy(handle);
      return state.SkipWithError("libjpeg-turbo failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  tjDestroy(handle);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The two decoders in turns on one thread: a batch of each picture by ours,
// then by libjpeg-turbo, for `seconds`; each pair of batches gives a ratio
// of their processor times, and the median of those is printed. Load from
// other processes falls on both alike, so this ratio holds still where the
// separate runs above (seconds apart) do not. `photo`, when not negative,
// keeps only that picture.
double InterleavedRatio(const Case& c, double seconds, int photo = -1) {
  Inputs in = Load(c);
  if (photo >= 0) {
    in.frames = {in.frames[static_cast<size_t>(photo)]};
    in.jpegs = {in.jpegs[static_cast<size_t>(photo)]};
  }
  DecoderTables decoder;
  if (!decoder.SetUp()) return 0;
  DecoderContext context;
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> out(Rgb24Bytes(c.size));
  const int w = static_cast<int>(c.size.width), h = static_cast<int>(c.size.height);
  const uint32_t compression = c.planar ? kCompressionI420 : kCompressionRgb;
  const auto cpuNow = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  };
  bool failed = false;
  const auto ours = [&] {
    for (const auto& frame : in.frames) {
      uint32_t written = 0;
      failed |= !decoder.DecodeFrame(context, frame, out, written, c.size, c.size, compression);
    }
  };
  const auto anchor = [&] {
    for (auto& jpeg : in.jpegs) {
      failed |= (c.planar ? tjDecompressToYUV2(handle, jpeg.data(), jpeg.size(), out.data(), w, 1, h, TJFLAG_FASTDCT)
                          : tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), w, 0, h, TJPF_BGR,
                                          TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_BOTTOMUP)) != 0;
    }
  };
  ours();
  anchor();
  std::vector<double> ratios;
  const double end = cpuNow() + seconds;
  while (cpuNow() < end && !failed) {
    double start = cpuNow();
    for (int i = 0; i < 4; ++i) ours();
    const double oursTime = cpuNow() - start;
    start = cpuNow();
    for (int i = 0; i < 4; ++i) anchor();
    ratios.push_back((cpuNow() - start) / oursTime);
  }
  tjDestroy(handle);
  if (failed || ratios.empty()) return 0;
  std::sort(ratios.begin(), ratios.end());
  return ratios[ratios.size() / 2];
}

// Keeps each run's frames per second for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("fps");
      if (it != run.counters.end()) fps[run.benchmark_name()] = it->second.value;
    }
  }
  std::map<std::string, double> fps;
};

}  // namespace

int main(int argc, char** argv) {
  const Case cases[] = {
      {{320, 240}, 0, false}, {{320, 240}, 0, true}, {{320, 240}, 3, false}, {{320, 240}, 3, true},
      {{160, 128}, 0, false}, {{160, 128}, 0, true}, {{160, 128}, 3, false}, {{160, 128}, 3, true},
  };
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark(("ours/" + c.Label()).c_str(), Ours, c);
    benchmark::RegisterBenchmark(("libjpeg-turbo/" + c.Label()).c_str(), TurboJpeg, c);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n%-24s %12s %16s %8s %12s\n", "picture", "ours fps", "libjpeg-turbo fps", "ratio",
              "interleaved");
  for (const Case& c : cases) {
    auto ours = reporter.fps.find("ours/" + c.Label());
    auto anchor = reporter.fps.find("libjpeg-turbo/" + c.Label());
    if (ours == reporter.fps.end() || anchor == reporter.fps.end()) continue;
    std::printf("%-24s %12.0f %16.0f %8.2f %12.2f\n", c.Label().c_str(), ours->second, anchor->second,
                ours->second / anchor->second, InterleavedRatio(c, 0.5));
  }
  // Each picture on its own: the goal holds for every one, not only on
  // average.
  std::printf("\ninterleaved, each picture alone\n%-24s", "picture");
  for (const char* photo : kPhotos) std::printf(" %18s", photo);
  std::printf("\n");
  for (const Case& c : cases) {
    std::printf("%-24s", c.Label().c_str());
    for (int photo = 0; photo < static_cast<int>(std::size(kPhotos)); ++photo) {
      std::printf(" %18.2f", InterleavedRatio(c, 0.25, photo));
    }
    std::printf("\n");
  }
  benchmark::Shutdown();
  return 0;
}
