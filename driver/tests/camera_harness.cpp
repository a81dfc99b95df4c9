#include "driver/tests/camera_harness.h"

#include "driver/tests/driver_fixture.h"
#include "platform/registry/machine_hive.h"

namespace ksv::driver::testing {
namespace {

constexpr const char* kKey = "Software\\Tarvio\\KSV Drivers";

}  // namespace

CameraHarness::CameraHarness() {
  UseFreshSystemRoot();
  device_ = std::make_unique<simcam::SimulatedCamera>();
  rig_ = std::make_unique<rig::CameraRig>(rig::RigOptions{.device = device_.get()});
}

CameraHarness::~CameraHarness() { rig_.reset(); }

void CameraHarness::Plug(simcam::CameraBehaviour behaviour) {
  auto device = std::make_unique<simcam::SimulatedCamera>(std::move(behaviour));
  rig_->Replug(device.get());
  device_ = std::move(device);
}

platform::kernel::NTSTATUS CameraHarness::Open(codec::FrameSize size, uint32_t compression,
                                               int64_t interval) {
  const uint16_t bits = compression == codec::kCompressionRgb ? 24 : 12;
  return rig_->Open({size, compression, bits, interval});
}

std::vector<std::vector<uint8_t>> CameraHarness::Stream(size_t count, uint64_t busFrames) {
  std::vector<std::vector<uint8_t>> frames;
  for (uint64_t i = 0; i < busFrames && frames.size() < count; ++i) {
    rig_->RunBusFrame();
    while (const auto frame = rig_->TakeFrame()) {
      frames.emplace_back(frame->data.begin(), frame->data.end());
    }
  }
  return frames;
}

std::optional<uint32_t> CameraHarness::Value(const std::string& name) {
  return platform::SharedMachineHive()->GetDword(kKey, name);
}

void CameraHarness::SetValue(const std::string& name, uint32_t value) {
  platform::SharedMachineHive()->SetDword(kKey, name, value);
}

void CameraHarness::DeleteValue(const std::string& name) {
  platform::SharedMachineHive()->DeleteValue(kKey, name);
}

}  // namespace ksv::driver::testing
