#include "driver/tests/camera_harness.h"

#include <string_view>

#include "driver/camera_device_extension.h"
#include "driver/driver_values.h"
#include "driver/routines.h"
#include "driver/tests/driver_fixture.h"
#include "platform/kernel/work_item.h"
#include "platform/registry/machine_hive.h"

namespace ksv::driver::testing {
namespace {

constexpr const char* kKey = "Software\\Tarvio\\KSV Drivers";

void RecordState(void* user, std::string_view name, uint32_t value) {
  if (name == "DriverStatus") static_cast<std::vector<uint32_t>*>(user)->push_back(value);
}

}  // namespace

CameraHarness::CameraHarness() {
  UseFreshSystemRoot();
  InstallDriverValueWriter(RecordState, &states);
  EXPECT_EQ(DriverEntry(classDriver_.DriverObject(), nullptr), platform::kernel::STATUS_SUCCESS);
  Plug();
}

CameraHarness::~CameraHarness() {
  camera_.reset();
  platform::kernel::RunQueuedWorkItems();
  InstallDriverValueWriter(nullptr, nullptr);
}

void CameraHarness::Plug(simcam::CameraBehaviour behaviour) {
  camera_.reset();
  registers_ = std::make_unique<simcam::CameraRegisters>(std::move(behaviour));
  video_ = std::make_unique<simcam::CameraVideo>(*registers_, *scene_);
  camera_ = std::make_unique<platform::usbcamd::UsbCamdCamera>(classDriver_, 0, registers_.get());
}

platform::kernel::NTSTATUS CameraHarness::Open(codec::FrameSize size, uint32_t compression,
                                               int64_t interval) {
  const uint16_t bits = compression == codec::kCompressionRgb ? 24 : 12;
  return camera_->OpenStream(platform::usbcamd::MakeVideoFormat(
      static_cast<int32_t>(size.width), static_cast<int32_t>(size.height), bits, compression,
      interval));
}

std::vector<std::vector<uint8_t>> CameraHarness::Stream(size_t count, uint64_t busFrames) {
  std::vector<std::vector<uint8_t>> frames;
  for (uint64_t i = 0; i < busFrames && frames.size() < count; ++i) {
    clock_.Advance(kTicksPerMs);
    simcam::IsoPacket& packet = video_->NextPacket();
    camera_->ReceivePacket(packet.status, packet.bytes);
    platform::kernel::RunQueuedWorkItems();
    while (camera_->HasFrame()) {
      const auto frame = camera_->FrontFrame();
      frames.emplace_back(frame.data.begin(), frame.data.end());
      camera_->ReleaseFrame();
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

CameraDeviceExtension& CameraHarness::extension() { return ExtensionOf(camera_->DeviceContext()); }

}  // namespace ksv::driver::testing
