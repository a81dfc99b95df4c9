// Hostile packets through the whole frame path: the class driver stand-in,
// the packet routine, assembly, pass-through and decoding. Whatever the
// packets hold, frames come out within their buffers and nothing is read
// or written out of bounds.
//
// Input: byte 0 picks size, format and pacing; byte 1 the packet size; then
// packets, each a control byte (kind and time step) and up to a packet's
// worth of bytes.
//
// One started camera serves every input: each opens the stream in its
// format, hands its packets over and closes the stream, and starts from
// what the camera's start left, so that it runs as it would alone. The
// stream's buffers are made at each open in the sizes of that stream, so an
// overrun of any of them is caught.
#include <sanitizer/asan_interface.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec/frame_format.h"
#include "driver/camera_device_extension.h"
#include "driver/frame_assembly.h"
#include "platform/kernel/performance_counter.h"
#include "platform/registry/machine_hive.h"
#include "platform/usbcamd/usb_device.h"
#include "rig/camera_rig.h"
#include "simcam/camera_registers.h"

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

// The camera's registers as the driver reaches them, with the packet size
// the input chose on every setting but 0 (no video), as a camera with a
// fixed packet size answers. The input hands the packets over itself.
class FuzzedCamera final : public platform::usbcamd::UsbDevice {
 public:
  int32_t VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                        std::span<uint8_t> data) override {
    return registers_.VendorRequest(in, request, value, index, data);
  }
  bool SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) override {
    if (!registers_.SelectAlternateSetting(setting, maximumPacketSize)) return false;
    if (setting != 0) maximumPacketSize = packetSize;
    return true;
  }
  void ForgetCalls() { registers_.ForgetCalls(); }

  uint16_t packetSize = 128;

 private:
  simcam::CameraRegisters registers_;
};

constexpr int64_t kStartTicks = 1'000'000;
constexpr size_t kLargestPacket = 128 + 255 * 3;

// Where each packet is handed over from: one buffer for the run, the packet
// placed at its end and the bytes before it poisoned, so that reading past
// either end of the packet is caught as it would be in a buffer of its own,
// without an allocation per packet.
class PacketBuffer {
 public:
  std::span<uint8_t> Hold(std::span<const uint8_t> bytes) {
    const size_t before = bytes_.size() - bytes.size();
    ASAN_UNPOISON_MEMORY_REGION(bytes_.data(), bytes_.size());
    ASAN_POISON_MEMORY_REGION(bytes_.data(), before);
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(before));
    return std::span<uint8_t>(bytes_).subspan(before);
  }
  ~PacketBuffer() { ASAN_UNPOISON_MEMORY_REGION(bytes_.data(), bytes_.size()); }

 private:
  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(kLargestPacket);
};

// One camera, driver and class driver for the whole run, started once
// (loading the driver and starting the camera, which allocates its buffers,
// cost more than all an input does). Each input opens the stream, feeds it
// and closes it, as a capture application does.
struct SharedRig {
  SharedRig() {
    // A root of its own, in memory where there is a memory file system, for
    // whatever the driver keeps on disk.
    for (const char* folder : {"/dev/shm", "/tmp"}) {
      root = std::string(folder) + "/ksv-fuzz-XXXXXX";
      if (::mkdtemp(root.data()) != nullptr) break;
      root.clear();
    }
    if (!root.empty()) ::setenv("KSV_ROOT", root.c_str(), 1);
    // The driver publishes its state in the machine registry at every open
    // and close. No other process reads this run's registry, so the hive is
    // one in memory, which keeps what the driver reads and writes on its own
    // side: a file's locks and journal at each value cost more than the rest
    // of an input's open. The driver makes the same calls either way.
    platform::UseOwnMachineHive(platform::RegistryStore::OpenInMemory());
    rig.emplace(rig::RigOptions{.device = &camera, .maximumPacketSize = 128, .clock = &clock});
    if (rig->Start() != 0) std::abort();
    startStatus = rig->Extension().LastStatusByte;
    startMode = rig->Extension().ModeIndicator;
  }
  ~SharedRig() {
    rig.reset();
    std::error_code ignored;
    if (!root.empty()) std::filesystem::remove_all(root, ignored);
  }

  // What a stream leaves for the next one goes back to how the start left
  // it, so that an input runs as it would alone and a crash it finds
  // reproduces from that input: the clock, the camera status byte the
  // driver compares frame starts with (a change asks for a snapshot) and
  // the mode it gives, and the driver's published values the rig records.
  // The driver resets the rest of its stream state as the stream opens.
  // The camera's list of requests is forgotten too, as the rig's values
  // are, so that a long run does not grow.
  void Reset() {
    clock.Set(kStartTicks);
    driver::CameraDeviceExtension& extension = rig->Extension();
    driver::SharedStore(extension.LastStatusByte, startStatus);
    driver::SharedStore(extension.ModeIndicator, startMode);
    rig->ForgetValues();
    camera.ForgetCalls();
  }

  std::string root;
  platform::kernel::SimulatedPerformanceCounter clock{10'000'000, kStartTicks};
  FuzzedCamera camera;
  std::optional<rig::CameraRig> rig;
  PacketBuffer packets;
  uint8_t startStatus = 0;
  uint32_t startMode = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SharedRig bench;
  if (size < 2) return 0;
  const Choice& choice = kChoices[data[0] % 6];
  const int64_t interval = (data[0] & 0x80) ? 333'333 : 0;
  const auto packetSize = static_cast<uint16_t>(128 + data[1] * 3);  // 128 .. 893

  bench.Reset();
  bench.camera.packetSize = packetSize;
  rig::CameraRig& rig = *bench.rig;
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
    const std::span<uint8_t> packet = bench.packets.Hold({data + at, length});
    at += full;
    bench.clock.Advance((control >> 2) * 10'000);
    rig.Deliver(status, packet);
    while (const auto frame = rig.TakeFrame()) {
      if (frame->data.size() > frameBytes) std::abort();
    }
  }
  if (rig.Close() != 0) std::abort();
  return 0;
}
