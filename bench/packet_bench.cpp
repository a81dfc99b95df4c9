// The driver's frame path against the decode alone (the anchor): the packet
// routine per packet, and the whole path from isochronous packets to a
// decoded 320 x 240 24-bit frame (class driver copy, assembly, decode, last
// good frame) against decoding the same frames directly. Prints nanoseconds
// per packet, frames per second of both and their ratio.
//
//   build/bench/packet_bench [--benchmark_min_time=0.5]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "driver/routines.h"
#include "platform/usbcamd/camera.h"
#include "rig/camera_rig.h"
#include "simcam/packetizer.h"
#include "simcam/simulated_camera.h"
#include "support/test_data.h"

using namespace ksv;

namespace {

const char* const kPhotos[] = {"astronaut", "chelsea", "coffee", "hubble_deep_field"};
constexpr uint16_t kPacketSize = 640;  // the camera's largest alternate setting
constexpr codec::FrameSize kSize{320, 240};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::vector<uint8_t>> Frames() {
  std::vector<std::vector<uint8_t>> frames;
  for (const char* photo : kPhotos) {
    frames.push_back(ReadFile(
        support::TestDataPath("frames/" + std::string(photo) + "_320x240_L3.frame").string()));
  }
  return frames;
}

// Each frame cut into the camera's packets, then a filler and a
// zero-length packet as between frames on the bus.
std::vector<std::vector<simcam::IsoPacket>> Packets(const std::vector<std::vector<uint8_t>>& frames) {
  simcam::Packetizer packetizer(kPacketSize);
  std::vector<std::vector<simcam::IsoPacket>> perFrame;
  for (const auto& frame : frames) {
    std::vector<simcam::IsoPacket> packets;
    packetizer.CutFrame(frame, 0, packets);
    packets.push_back(packetizer.Filler());
    packets.push_back(simcam::Packetizer::ZeroLength());
    perFrame.push_back(std::move(packets));
  }
  return perFrame;
}

// A started camera streaming 320 x 240 24-bit frames without pacing, on
// the camera rig; the packets are handed to the class driver directly.
struct StreamingCamera {
  simcam::SimulatedCamera device{FixedPipe()};  // the camera under the class driver
  rig::CameraRig rig{{.device = &device, .maximumPacketSize = kPacketSize}};
  platform::usbcamd::UsbCamdCamera* camera = &rig.Camera();

  static simcam::CameraBehaviour FixedPipe() {
    simcam::CameraBehaviour behaviour;
    behaviour.fixedPacketSize = kPacketSize;
    return behaviour;
  }

  StreamingCamera() {
    if (rig.Start() != 0 || rig.Open({kSize, codec::kCompressionRgb, 24, 0}) != 0) {
      throw std::runtime_error("the stream did not open");
    }
  }
};

void PacketRoutine(benchmark::State& state) {
  StreamingCamera streaming;
  auto frames = Packets(Frames());
  void* context = streaming.camera->DeviceContext();
  uint32_t frameContext = 0;
  size_t packets = 0;
  for (auto _ : state) {
    for (auto& frame : frames) {
      for (auto& packet : frame) {
        platform::usbcamd::USBD_ISO_PACKET_DESCRIPTOR descriptor{
            0, static_cast<uint32_t>(packet.bytes.size()), packet.status};
        bool complete = false;
        bool still = false;
        benchmark::DoNotOptimize(driver::CamProcessUSBPacket(nullptr, context, &frameContext, nullptr, nullptr,
                                                             &descriptor, packet.bytes.data(), &complete, &still));
      }
      packets += frame.size();
    }
  }
  state.counters["packets_per_s"] =
      benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kIsRate);
}

void FramePath(benchmark::State& state) {
  StreamingCamera streaming;
  auto frames = Packets(Frames());
  auto& camera = *streaming.camera;
  size_t delivered = 0;
  size_t packets = 0;
  size_t i = 0;
  for (auto _ : state) {
    auto& frame = frames[i++ % frames.size()];
    for (auto& packet : frame) camera.ReceivePacket(packet.status, packet.bytes);
    packets += frame.size();
    while (camera.HasFrame()) {
      benchmark::DoNotOptimize(camera.FrontFrame().data.data());
      camera.ReleaseFrame();
      ++delivered;
    }
  }
  if (delivered + 1 < static_cast<size_t>(state.iterations())) state.SkipWithError("frames went missing");
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["packets"] = static_cast<double>(packets) / static_cast<double>(state.iterations());
}

void DecodeOnly(benchmark::State& state) {
  const auto frames = Frames();
  codec::DecoderTables decoder;
  if (!decoder.SetUp()) return state.SkipWithError("decoder set-up failed");
  std::vector<uint8_t> out(codec::Rgb24Bytes(kSize));
  size_t i = 0;
  for (auto _ : state) {
    uint32_t written = 0;
    if (!decoder.DecodeFrame({}, frames[i++ % frames.size()], out, written, kSize, kSize, codec::kCompressionRgb))
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      for (const auto& [name, counter] : run.counters) values[run.benchmark_name() + "/" + name] = counter.value;
    }
  }
  double Get(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> values;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("packet_routine", PacketRoutine);
  benchmark::RegisterBenchmark("frame_path", FramePath);
  benchmark::RegisterBenchmark("decode_only", DecodeOnly);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const double packetsPerSecond = reporter.Get("packet_routine/packets_per_s");
  const double packetNs = packetsPerSecond > 0 ? 1e9 / packetsPerSecond : 0;
  const double pathFps = reporter.Get("frame_path/fps");
  const double decodeFps = reporter.Get("decode_only/fps");
  std::printf("\npacket routine: %.1f ns per packet (%u-byte packets)\n", packetNs, kPacketSize);
  std::printf("%-34s %12s %16s %8s\n", "320x240 24-bit, level 3", "path fps", "decode-only fps", "ratio");
  if (decodeFps > 0) {
    std::printf("%-34s %12.0f %16.0f %8.3f\n", "packets -> frame vs decode", pathFps, decodeFps,
                pathFps / decodeFps);
  }
  benchmark::Shutdown();
  return 0;
}
