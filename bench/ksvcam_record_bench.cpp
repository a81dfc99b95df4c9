// `ksvcam record` from the camera at 320 x 240 (with the microphone, as the
// command records by default) for S seconds of real time, timed as a whole
// process: the CPU time of all its threads (user + system) per captured
// frame. The anchor, in the same run: the CPU time per frame of decoding
// the same camera frames alone (the camera's compressed frames into I420 by
// the driver's decoder, which the capture also runs). The simulated camera
// and microphone run inside the recording's process; what they spend making
// their pictures and sound (the devices' cost, not the host's) is taken out,
// as `record --measure` reports it. Prints both and the ratios.
//
// A second line decodes the same frames one every 33 ms, as they come from
// the camera, timed the same way: the machine's cost of doing a frame's
// work after sleeping between frames (waking up, cold caches), which the
// recording pays too and a tight decoding loop does not.
//
//   build/bench/ksvcam_record_bench [seconds, default 10]
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <regex>
#include <string>

#include "bench/camera_frames.h"
#include "bench/child_run.h"
#include "codec/decoder.h"

namespace {

namespace fs = std::filesystem;
constexpr ksv::codec::FrameSize kSize{320, 240};

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "ksvcam_record_bench: %s\n", why.c_str());
  std::exit(1);
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Recording {
  ksv::bench::ChildRun run;
  size_t frames = 0;
  double deviceSeconds = 0;  // the simulated devices' own work
  double HostSeconds() const { return run.cpuSeconds - deviceSeconds; }
};

// CPU seconds per frame of decoding `count` of the camera's frames.
double DecodeCpuPerFrame(const std::vector<std::vector<uint8_t>>& frames, size_t count) {
  ksv::codec::DecoderTables decoder;
  if (!decoder.SetUp()) Fail("decoder set-up failed");
  std::vector<uint8_t> out(ksv::codec::PlanarBytes(kSize));
  const double start = ProcessCpuSeconds();
  for (size_t i = 0; i < count; ++i) {
    uint32_t written = 0;
    if (!decoder.DecodeFrame({}, frames[i % frames.size()], out, written, kSize, kSize,
                             ksv::codec::kCompressionI420)) {
      Fail("decode failed");
    }
  }
  return (ProcessCpuSeconds() - start) / double(count);
}

// The same, one frame every `interval` of real time.
double PacedDecodeCpuPerFrame(const std::vector<std::vector<uint8_t>>& frames, size_t count,
                              std::chrono::microseconds interval) {
  ksv::codec::DecoderTables decoder;
  if (!decoder.SetUp()) Fail("decoder set-up failed");
  std::vector<uint8_t> out(ksv::codec::PlanarBytes(kSize));
  auto due = std::chrono::steady_clock::now();
  const double start = ProcessCpuSeconds();
  for (size_t i = 0; i < count; ++i) {
    due += interval;
    std::this_thread::sleep_until(due);
    uint32_t written = 0;
    if (!decoder.DecodeFrame({}, frames[i % frames.size()], out, written, kSize, kSize,
                             ksv::codec::kCompressionI420)) {
      Fail("decode failed");
    }
  }
  return (ProcessCpuSeconds() - start) / double(count);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string seconds = argc > 1 ? argv[1] : "10";
  if (std::atof(seconds.c_str()) <= 0) Fail("usage: ksvcam_record_bench [seconds]");
  const fs::path root = fs::temp_directory_path() / ("ksv_record_bench_" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("KSV_ROOT", root.c_str(), 1);
  setenv("KSV_HEADLESS", "1", 1);

  if (ksv::bench::RunChild({KSVCAM, "setup"}).status != 0) Fail("ksvcam setup failed");
  const fs::path file = root / "record.avi";
  const auto recordFor = [&file](const std::string& time) {
    Recording recording;
    recording.run = ksv::bench::RunChild({KSVCAM, "record", "-o", file.string(), "--size",
                                          "320x240", "--seconds", time, "--measure"});
    const std::string& out = recording.run.out;
    if (recording.run.status != 0) Fail("ksvcam record failed: " + out);
    std::smatch said;
    if (!std::regex_search(out, said, std::regex(R"((\d+) frames of 320x240)"))) {
      Fail("no frame count in: " + out);
    }
    recording.frames = std::stoul(said[1]);
    if (recording.frames == 0) Fail("no frame captured");
    if (!std::regex_search(out, said, std::regex(R"(devices' own work ([0-9.]+) ms)"))) {
      Fail("no measure line in: " + out);
    }
    recording.deviceSeconds = std::stod(said[1]) / 1e3;
    return recording;
  };
  const Recording record = recordFor(seconds);
  // One second, for the cost of starting and ending (loading the modules,
  // building the graph, finishing the file) apart from the frames.
  const Recording shortRecord = recordFor("1");
  const size_t frames = record.frames;
  const size_t shortFrames = shortRecord.frames;
  fs::remove_all(root);

  const auto cameraFrames = ksv::bench::CameraFrames(kSize);
  const double decode = DecodeCpuPerFrame(cameraFrames, std::max<size_t>(frames, 300));
  const double pacedDecode =
      PacedDecodeCpuPerFrame(cameraFrames, 90, std::chrono::microseconds(33'333));
  const double whole = record.run.cpuSeconds / double(frames);
  const double host = record.HostSeconds() / double(frames);
  std::printf("ksvcam record, 320x240 from the camera with the microphone, %s s\n",
              seconds.c_str());
  std::printf("%s", record.run.out.c_str());
  std::printf("%-52s %8s %14s\n", "", "frames", "CPU ms/frame");
  std::printf("%-52s %8zu %14.3f\n", "ksvcam record (whole process, every thread)", frames,
              whole * 1e3);
  std::printf("%-52s %8s %14.3f\n", "  of which the simulated camera and microphone", "",
              record.deviceSeconds / double(frames) * 1e3);
  std::printf("%-52s %8s %14.3f\n", "  the host's", "", host * 1e3);
  double extra = 0;
  if (frames > shortFrames) {
    extra = (record.HostSeconds() - shortRecord.HostSeconds()) / double(frames - shortFrames);
    std::printf("%-52s %8zu %14.3f\n", "  the host's, less a 1 s recording (per extra frame)",
                frames - shortFrames, extra * 1e3);
  }
  std::printf("%-52s %8s %14.3f\n", "anchor: decoding the camera's frames alone", "",
              decode * 1e3);
  std::printf("%-52s %8s %14.3f\n", "  the same, one frame every 33 ms (paced)", "",
              pacedDecode * 1e3);
  std::printf("ratio, record (the host's) / decode alone (CPU per frame): %.2f\n", host / decode);
  if (frames > shortFrames) {
    std::printf("ratio, record's per extra frame / decode alone:            %.2f\n",
                extra / decode);
    std::printf("ratio, record's per extra frame / decode paced:            %.2f\n",
                extra / pacedDecode);
  }
  std::printf("ksvcam record used %.1f%% of one core over %.1f s\n",
              100.0 * record.run.cpuSeconds / record.run.wallSeconds, record.run.wallSeconds);
  return 0;
}
