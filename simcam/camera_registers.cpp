#include "simcam/camera_registers.h"

#include <algorithm>

namespace ksv::simcam {
namespace {

namespace reg = camera_register;

constexpr uint8_t kRegisterAccess = 0x00;
constexpr uint8_t kStatus = 0x05;
constexpr uint8_t kBusy = 0x06;
constexpr uint8_t kMode = 0x0C;
constexpr uint8_t kDefectCorrection = 0xDF;
constexpr uint8_t kEnterStreaming = 0xE0;
constexpr uint8_t kLeaveStreaming = 0xE1;
constexpr int32_t kStall = -1;

bool InTable(uint16_t address, uint16_t table) { return address >= table && address < table + 64; }

}  // namespace

CameraRegisters::CameraRegisters(CameraBehaviour behaviour) : behaviour_(std::move(behaviour)) {
  registers_[reg::kBandwidthCheck] = behaviour_.bandwidthCheck;
  registers_[reg::kLevel] = 3;
  ResetPictureRegisters(registers_);
}

int32_t CameraRegisters::VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                                       std::span<uint8_t> data) {
  std::lock_guard guard(lock_);
  calls_.push_back({in, request, value, index});
  if (behaviour_.failingRequests.count(request) != 0) return kStall;
  const int32_t answer = Answer(in, request, value, index, data);
  NoteStreaming();
  return answer;
}

void CameraRegisters::NoteStreaming() {
  streamingNow_.store(streaming_ && setting_ != 0 && registers_[reg::kEngine] == kEngineReady,
                      std::memory_order_release);
}

int32_t CameraRegisters::Answer(bool in, uint8_t request, uint16_t value, uint16_t index,
                                std::span<uint8_t> data) {
  switch (request) {
    case kRegisterAccess:
      if (!in) {
        WriteRegister(index, static_cast<uint8_t>(value));
        return 0;
      }
      if (data.empty() || data.size() > 2) return kStall;
      for (size_t i = 0; i < data.size(); ++i) {
        data[i] = ReadRegister(static_cast<uint16_t>(index + i));
      }
      return static_cast<int32_t>(data.size());
    case kStatus:
      if (!in || data.empty()) return kStall;
      data[0] = static_cast<uint8_t>(behaviour_.statusByte >> 2);
      return 1;
    case kBusy:
      if (!in || data.empty()) return kStall;
      data[0] = behaviour_.neverReady || busyLeft_ > 0 ? 1 : 0;
      if (busyLeft_ > 0) --busyLeft_;
      return 1;
    case kMode:
      if (in) return kStall;
      mode_ = static_cast<uint8_t>(value);
      ++generation_;  // white-balance gains act only in the manual modes
      return 0;
    case kDefectCorrection:
      return in ? kStall : 0;
    case kEnterStreaming:
    case kLeaveStreaming:
      if (in) return kStall;
      streaming_ = request == kEnterStreaming;
      busyLeft_ = behaviour_.busyAnswers;
      ++generation_;
      return 0;
    default:
      return kStall;
  }
}

void CameraRegisters::WriteRegister(uint16_t address, uint8_t value) {
  registers_[address] = value;
  if (address == reg::kEngine && value == kEngineStart) {
    engineStarted_ = true;
    engineReadsLeft_ = behaviour_.engineBusyReads;
    registers_[reg::kEngine] = 0;
  }
  if (address == reg::kEngine || address == reg::kSizeC || address == reg::kLevel ||
      InTable(address, reg::kLuminanceTable) || InTable(address, reg::kChrominanceTable) ||
      IsPictureRegister(address)) {
    ++generation_;
  }
}

uint8_t CameraRegisters::ReadRegister(uint16_t address) {
  if (address == reg::kEngine && engineStarted_ && !behaviour_.engineNeverReady) {
    if (engineReadsLeft_ > 0) {
      --engineReadsLeft_;
    } else {
      registers_[reg::kEngine] = kEngineReady;
    }
  }
  return registers_[address];
}

bool CameraRegisters::SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) {
  std::lock_guard guard(lock_);
  if (setting >= kAlternateSettingPacketSizes.size()) return false;
  if (setting != 0 && behaviour_.refusedSettings.test(setting)) return false;
  setting_ = setting;
  ++generation_;
  NoteStreaming();
  maximumPacketSize = setting != 0 && behaviour_.fixedPacketSize != 0
                          ? behaviour_.fixedPacketSize
                          : kAlternateSettingPacketSizes[setting];
  return true;
}

bool CameraRegisters::IsStreaming() const { return streamingNow_.load(std::memory_order_acquire); }

uint16_t CameraRegisters::PacketSize() const {
  std::lock_guard guard(lock_);
  if (setting_ != 0 && behaviour_.fixedPacketSize != 0) return behaviour_.fixedPacketSize;
  return kAlternateSettingPacketSizes[setting_];
}

uint8_t CameraRegisters::AlternateSetting() const {
  std::lock_guard guard(lock_);
  return setting_;
}

codec::FrameSize CameraRegisters::EncodeSize() const {
  std::lock_guard guard(lock_);
  return registers_[reg::kSizeC] == 16 ? codec::FrameSize{160, 128} : codec::FrameSize{320, 240};
}

int CameraRegisters::Level() const {
  std::lock_guard guard(lock_);
  return std::min<int>(registers_[reg::kLevel], 3);
}

codec::QuantPair CameraRegisters::Tables() const {
  const codec::QuantPair builtIn = codec::DriverLevelPair(Level());
  std::lock_guard guard(lock_);
  codec::QuantPair tables;
  for (size_t i = 0; i < 64; ++i) {
    const uint8_t luminance = registers_[reg::kLuminanceTable + i];
    const uint8_t chrominance = registers_[reg::kChrominanceTable + i];
    tables.luminance[i] = luminance != 0 ? luminance : builtIn.luminance[i];
    tables.chrominance[i] = chrominance != 0 ? chrominance : builtIn.chrominance[i];
  }
  return tables;
}

PictureControls CameraRegisters::Controls() const {
  std::lock_guard guard(lock_);
  return PictureControlsOf(registers_, mode_);
}

uint64_t CameraRegisters::EncodingGeneration() const {
  std::lock_guard guard(lock_);
  return generation_;
}

uint8_t CameraRegisters::StatusByte() const {
  std::lock_guard guard(lock_);
  return behaviour_.statusByte;
}

void CameraRegisters::SetStatusByte(uint8_t status) {
  std::lock_guard guard(lock_);
  behaviour_.statusByte = status;
}

void CameraRegisters::PressButton() {
  std::lock_guard guard(lock_);
  behaviour_.statusByte |= kStatusButton;
}

void CameraRegisters::ReleaseButton() {
  std::lock_guard guard(lock_);
  behaviour_.statusByte &= static_cast<uint8_t>(~kStatusButton);
}

uint8_t CameraRegisters::Register(uint16_t address) const {
  std::lock_guard guard(lock_);
  return registers_[address];
}

uint8_t CameraRegisters::Mode() const {
  std::lock_guard guard(lock_);
  return mode_;
}

std::vector<VendorCall> CameraRegisters::Calls() const {
  std::lock_guard guard(lock_);
  return calls_;
}

void CameraRegisters::ForgetCalls() {
  std::lock_guard guard(lock_);
  calls_.clear();
}

}  // namespace ksv::simcam
