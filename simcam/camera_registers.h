// The simulated camera's control side: the vendor requests it answers on the
// default pipe, its registers, the compression engine, the busy flag and
// the alternate settings of its video interface. It plugs into the USB
// camera class driver stand-in as the camera's USB device.
//
// Vendor requests (value, index as the request gives them):
//   0x00 out  register `index` := `value`      0x00 in  register `index` (1 or 2 bytes)
//   0x05 in   status byte >> 2                  0x06 in  busy flag, 0 = ready
//   0x0C out  exposure/white-balance mode       0xDF out defective-pixel correction
//   0xE0 out  enter streaming                   0xE1 out leave streaming
// Writing 4 to register 0x8000 starts the compression engine, which reads
// back 0x44 once it is ready. It encodes at the size of registers
// 0x8001..0x8003 (0x8003 = 16: 160 x 128, else 320 x 240), the level of
// 0x8880, with the quantisation tables written at 0x8800 (luminance) and
// 0x8840 (chrominance).
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <mutex>
#include <set>
#include <span>
#include <vector>

#include "codec/frame_format.h"
#include "codec/quant_tables.h"
#include "platform/usbcamd/usb_device.h"
#include "simcam/picture_controls.h"

namespace ksv::simcam {

// The maximum packet size of each alternate setting of the video interface.
inline constexpr std::array<uint16_t, 8> kAlternateSettingPacketSizes = {0,   128, 384, 512,
                                                                          640, 768, 896, 1023};

namespace camera_register {
inline constexpr uint16_t kEngine = 0x8000;
inline constexpr uint16_t kSizeA = 0x8001;
inline constexpr uint16_t kSizeB = 0x8002;
inline constexpr uint16_t kSizeC = 0x8003;
inline constexpr uint16_t kBandwidthCheck = 0x800D;
inline constexpr uint16_t kLevel = 0x8880;
inline constexpr uint16_t kLuminanceTable = 0x8800;
inline constexpr uint16_t kChrominanceTable = 0x8840;
inline constexpr uint16_t kEngineEnable = 0x850A;
}  // namespace camera_register

inline constexpr uint8_t kEngineStart = 4;
inline constexpr uint8_t kEngineReady = 0x44;
inline constexpr uint8_t kStatusButton = 0x20;

struct CameraBehaviour {
  uint8_t statusByte = 0;         // the status byte the camera reports (bits 2..7)
  uint32_t busyAnswers = 0;       // busy answers after each enter or leave of streaming
  bool neverReady = false;        // the busy flag never clears
  uint32_t engineBusyReads = 1;   // reads of 0x8000 before it answers 0x44
  bool engineNeverReady = false;
  uint8_t bandwidthCheck = 0x08;  // register 0x800D: bit 3 clear makes the driver step down
  std::bitset<8> refusedSettings; // alternate settings the camera refuses
  std::set<uint8_t> failingRequests;  // vendor requests that stall
  uint16_t fixedPacketSize = 0;   // non-zero: every setting but 0 has this packet size
};

// One vendor request as the camera saw it.
struct VendorCall {
  bool in = false;
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
};

class CameraRegisters final : public platform::usbcamd::UsbDevice {
 public:
  explicit CameraRegisters(CameraBehaviour behaviour = {});

  int32_t VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                        std::span<uint8_t> data) override;
  bool SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) override;

  // What the video side reads.
  bool IsStreaming() const;        // entered streaming, engine ready, a bandwidth setting
  uint16_t PacketSize() const;     // of the selected alternate setting
  uint8_t AlternateSetting() const;
  codec::FrameSize EncodeSize() const;
  int Level() const;
  // The tables the engine encodes with; an entry never written is taken from
  // the camera's built-in tables for the level.
  codec::QuantPair Tables() const;
  // Changes whenever anything the encoding depends on changes.
  uint64_t EncodingGeneration() const;
  uint8_t StatusByte() const;
  void SetStatusByte(uint8_t status);
  // The snapshot button (status bit 5), reported in the status answer and in
  // the header of every frame started while it is held.
  void PressButton();
  void ReleaseButton();

  uint8_t Register(uint16_t address) const;
  uint8_t Mode() const;
  // What the picture registers and the mode do to the picture.
  PictureControls Controls() const;
  std::vector<VendorCall> Calls() const;
  // Starts the list over (a long run that reopens the stream keeps it from
  // growing).
  void ForgetCalls();
  CameraBehaviour& Behaviour() { return behaviour_; }  // change between requests only

 private:
  int32_t Answer(bool in, uint8_t request, uint16_t value, uint16_t index,
                 std::span<uint8_t> data);
  void WriteRegister(uint16_t address, uint8_t value);
  uint8_t ReadRegister(uint16_t address);
  // After a request: whether the camera streams now, kept for IsStreaming,
  // which the video side asks at every packet without taking the lock.
  void NoteStreaming();

  mutable std::mutex lock_;
  std::atomic<bool> streamingNow_{false};
  CameraBehaviour behaviour_;
  std::array<uint8_t, 0x10000> registers_{};
  std::vector<VendorCall> calls_;
  uint32_t busyLeft_ = 0;
  uint32_t engineReadsLeft_ = 0;
  bool engineStarted_ = false;
  bool streaming_ = false;
  uint8_t setting_ = 0;
  uint8_t mode_ = 4;
  uint64_t generation_ = 0;
};

}  // namespace ksv::simcam
