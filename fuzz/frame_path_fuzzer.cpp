// Hostile packets through the whole frame path: the class driver stand-in,
// the packet routine, assembly, pass-through and decoding. Whatever the
// packets hold, frames come out within their buffers and nothing is read
// or written out of bounds.
//
// Input: byte 0 picks size, format and pacing; byte 1 the packet size; then
// packets, each a control byte (kind and time step) and up to a packet's
// worth of bytes.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codec/frame_format.h"
#include "driver/frame_assembly.h"
#include "platform/kernel/performance_counter.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

using namespace ksv;

namespace {

struct Choice {
  int32_t width;
  int32_t height;
  uint16_t bits;
  uint32_t compression;
};

constexpr Choice kChoices[] = {
    {320, 240, 12, codec::kCompressionI420}, {320, 240, 24, codec::kCompressionRgb},
    {320, 240, 12, driver::kCompressionKxjs}, {160, 120, 12, codec::kCompressionIYUV},
    {160, 120, 24, codec::kCompressionRgb},   {160, 120, 12, driver::kCompressionKxjs},
};

struct Fixture {
  Fixture() {
    // The driver publishes its state in the machine registry: a root of its own.
    char root[] = "/tmp/ksv-fuzz-XXXXXX";
    if (::mkdtemp(root) != nullptr) ::setenv("KSV_ROOT", root, 1);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  (void)fixture;
  if (size < 2) return 0;
  const Choice& choice = kChoices[data[0] % 6];
  const int64_t interval = (data[0] & 0x80) ? 333'333 : 0;
  const auto packetSize = static_cast<uint16_t>(128 + data[1] * 3);  // 128 .. 893

  platform::kernel::SimulatedPerformanceCounter clock(10'000'000, 1'000'000);
  simcam::CameraBehaviour behaviour;  // a camera whose pipe has the chosen packet size
  behaviour.fixedPacketSize = packetSize;
  simcam::SimulatedCamera device(behaviour);
  rig::CameraRig rig({.device = &device, .maximumPacketSize = packetSize, .clock = &clock});
  if (rig.Start() != 0) std::abort();
  const codec::FrameSize frameSize{static_cast<uint32_t>(choice.width),
                                  static_cast<uint32_t>(choice.height)};
  if (rig.Open({frameSize, choice.compression, choice.bits, interval}, 2) != 0) std::abort();
  const size_t frameBytes = static_cast<size_t>(choice.width) * choice.height * choice.bits / 8;

  size_t at = 2;
  while (at < size) {
    const uint8_t control = data[at++];
    const size_t available = size - at;
    const size_t full = packetSize < available ? packetSize : available;
    size_t length = full;
    int32_t status = 0;
    switch (control & 3) {
      case 1: length = full / 2; break;    // short
      case 2: length = 0; break;           // zero-length
      case 3: status = -1; break;          // failed
      default: break;
    }
    // Exactly sized, so reading past the packet is caught.
    std::vector<uint8_t> packet(data + at, data + at + length);
    at += full;
    clock.Advance((control >> 2) * 10'000);
    rig.Deliver(status, packet);
    while (const auto frame = rig.TakeFrame()) {
      if (frame->data.size() > frameBytes) std::abort();
    }
  }
  return 0;
}
