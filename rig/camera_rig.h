// The camera driver at work on one camera, the way the system runs it: the
// driver is loaded into the USB camera class driver stand-in, a USB camera is
// plugged in under it (the one found on the machine, or one given) and goes
// through its life: configure and initialise, stream information, open
// (bandwidth, capture start), frames, stop, close, uninitialise.
//
// The camera's bus runs on the rig's simulated clock, one packet a
// millisecond, so a capture takes only the time its work takes and comes out
// the same on every run. Whoever replays recorded or made-up packets hands
// them over one by one instead.
//
// A capture application (or a capture filter) opens a format, takes frames
// as they come and stops; the rest of the interface is for tools and tests
// that look inside.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame_format.h"
#include "driver/frame_assembly.h"
#include "platform/kernel/kernel_types.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/status_text.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/class_driver.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::driver {
struct CameraDeviceExtension;
}

namespace ksv::rig {

using platform::kernel::NTSTATUS;

// A step of the camera's life failed: the message names the step and the
// status, as StatusText gives it.
class RigError : public std::runtime_error {
 public:
  RigError(const std::string& step, NTSTATUS status);
  NTSTATUS status() const { return status_; }

 private:
  NTSTATUS status_;
};

using platform::kernel::StatusText;
// Throws RigError when `status` is a failure.
void Require(NTSTATUS status, const std::string& step);

// The compression code a capture application opens to get the camera's
// compressed frames passed through.
inline constexpr uint32_t kCompressionPassThrough = driver::kCompressionKxjs;

// What a capture application asks the driver for.
struct VideoFormat {
  codec::FrameSize size{320, 240};
  uint32_t compression = codec::kCompressionI420;
  uint16_t bitCount = 12;
  int64_t interval = 333'333;  // the stream's frame interval, 100-ns units; 0: no pacing
};

// A frame as the driver delivered it, valid until the next frame is asked
// for or the stream closes.
struct RigFrame {
  std::span<const uint8_t> data;
  bool damaged = false;  // the driver marked it damaged
  uint64_t number = 0;   // delivered frames, from 1
};

struct RigStatistics {
  uint64_t packets = 0;        // received on the data pipe since the stream opened
  uint64_t delivered = 0;      // frames handed to the reader
  uint64_t damaged = 0;        // of them, with the damage mark
  uint32_t framesSeen = 0;     // frame starts the driver saw
  uint32_t framesDropped = 0;  // skipped by pacing
  uint32_t notDecoded = 0;     // failed to decode; the last good frame was repeated
  uint32_t oversized = 0;
  uint32_t truncated = 0;      // pass-through frames cut at the reader's buffer
  uint16_t packetSize = 0;     // of the data pipe now
  uint8_t alternateSetting = 0;
};

struct RigOptions {
  // The camera to plug in; null: the first camera on the machine
  // (platform/hardware), which throws std::runtime_error when there is none.
  platform::usbcamd::UsbDevice* device = nullptr;
  // The data pipe's packet size before the driver selects a setting.
  uint16_t maximumPacketSize = 0;
  // The clock the driver sees. Null: the rig's own simulated clock, which
  // each bus frame moves on by a millisecond.
  const platform::kernel::PerformanceCounterSource* clock = nullptr;
};

// A camera that sends no frame for this many bus frames sends none.
inline constexpr uint64_t kSilentBusFrames = 10'000;

class CameraRig {
 public:
  // Loads the driver (its entry point registers it with the class driver)
  // and plugs the camera in. Throws RigError when the driver does not load.
  explicit CameraRig(RigOptions options = {});
  ~CameraRig();  // closes the stream and stops the camera if needed
  CameraRig(const CameraRig&) = delete;
  CameraRig& operator=(const CameraRig&) = delete;

  // Pulls the camera out and plugs `device` in instead (same driver).
  void Replug(platform::usbcamd::UsbDevice* device);

  // The camera's life, each step returning the driver's status.
  NTSTATUS Start();  // configure, initialise, stream information
  NTSTATUS Open(const VideoFormat& format, uint32_t readBuffers = 4);
  NTSTATUS Close();
  NTSTATUS Stop();

  // Frames as they come: runs the bus until the driver delivers a frame,
  // for at most `maxBusFrames`; nothing when none came. The frame before is
  // released first.
  std::optional<RigFrame> NextFrame(uint64_t maxBusFrames = kSilentBusFrames);

  // One bus frame: the camera sends its packet, the driver takes it, the
  // system worker has its turn.
  void RunBusFrame();
  // A packet handed over at the clock's time instead of the camera's own
  // (a replay, a fuzzer), then the system worker's turn.
  void Deliver(int32_t status, std::span<uint8_t> bytes);
  // The system worker's turn: work items the driver queued run now. Whoever
  // hands packets to Camera() directly calls it after each.
  void RunSystemWorker();
  // The next frame the driver delivered, without running the bus.
  std::optional<RigFrame> TakeFrame();

  RigStatistics Statistics() const;
  // The "DriverStatus" values the driver published, in order.
  std::vector<uint32_t> DriverStates() const;
  // How often the driver published the value `name` (case as written).
  uint64_t ValueWrites(std::string_view name) const;
  // How often the driver published the camera's status ("Button").
  uint64_t StatusChanges() const;
  // Forgets what the driver published so far: the three above start over
  // (a long run that reopens the stream keeps them from growing).
  void ForgetValues();
  // Whether the driver has written a snapshot (button or "SnapShoot"
  // request), and whether its button thread has taken up a "SnapShoot"
  // request; the camera's snapshot state as a capture tool watches it.
  bool SnapshotWritten();
  bool SnapshotRequestTakenUp();

  platform::usbcamd::UsbCamdCamera& Camera() { return *camera_; }
  driver::CameraDeviceExtension& Extension();
  const platform::usbcamd::HW_STREAM_DESCRIPTOR& Streams() const { return streams_; }
  platform::kernel::SimulatedPerformanceCounter& Clock() { return ownClock_; }

 private:
  struct ValueRecorder;
  void ReleaseTaken();

  platform::kernel::SimulatedPerformanceCounter ownClock_{10'000'000, 0, true};
  platform::kernel::ScopedPerformanceCounter useClock_;
  bool advancesClock_;
  std::unique_ptr<ValueRecorder> recorder_;
  platform::usbcamd::ClassDriver classDriver_;
  uint16_t maximumPacketSize_;
  platform::usbcamd::UsbDevice* device_;
  std::unique_ptr<platform::usbcamd::UsbCamdCamera> camera_;
  platform::usbcamd::HW_STREAM_DESCRIPTOR streams_{};
  bool frameTaken_ = false;
  // NextFrame's frames go here, lent to the class driver, rather than into
  // a read buffer after another: one picture's worth that stays in cache.
  std::vector<uint8_t> frameBuffer_;
  uint64_t delivered_ = 0;
  uint64_t damaged_ = 0;
};

}  // namespace ksv::rig
