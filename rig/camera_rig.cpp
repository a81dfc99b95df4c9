#include "rig/camera_rig.h"

#include <mutex>

#include "driver/button_work_item.h"
#include "driver/camera_device_extension.h"
#include "driver/driver_values.h"
#include "driver/frame_tag.h"
#include "driver/routines.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/ks_format.h"

namespace ksv::rig {
namespace {

namespace kernel = platform::kernel;
namespace usb = platform::usbcamd;

constexpr int64_t kBusFrameTicks = 10'000;  // 1 ms in 100-ns units

usb::UsbDevice& DeviceOrMachinesCamera(usb::UsbDevice* device) {
  return device != nullptr ? *device : usb::FindUsbCamera();
}

}  // namespace

// The driver publishes its values to one observer at a time; the rig is it
// while it lives.
struct CameraRig::ValueRecorder {
  ValueRecorder() { driver::InstallDriverValueWriter(&Record, this); }
  ~ValueRecorder() { driver::InstallDriverValueWriter(nullptr, nullptr); }
  ValueRecorder(const ValueRecorder&) = delete;
  ValueRecorder& operator=(const ValueRecorder&) = delete;

  static void Record(void* user, std::string_view name, uint32_t value) {
    auto* recorder = static_cast<ValueRecorder*>(user);
    std::lock_guard guard(recorder->lock);  // the button thread publishes too
    if (name == "DriverStatus") recorder->states.push_back(value);
    // A name seen before costs no copy (the driver writes one at every step).
    const auto seen = recorder->writes.find(name);
    if (seen != recorder->writes.end()) {
      ++seen->second;
    } else {
      recorder->writes.emplace(std::string(name), 1);
    }
  }

  mutable std::mutex lock;
  std::vector<uint32_t> states;
  std::map<std::string, uint64_t, std::less<>> writes;
};

RigError::RigError(const std::string& step, NTSTATUS status)
    : std::runtime_error(step + " failed with " + StatusText(status)), status_(status) {}

void Require(NTSTATUS status, const std::string& step) {
  if (!kernel::NT_SUCCESS(status)) throw RigError(step, status);
}

CameraRig::CameraRig(RigOptions options)
    : useClock_(options.clock ? *options.clock : ownClock_),
      advancesClock_(options.clock == nullptr),
      recorder_(std::make_unique<ValueRecorder>()),
      maximumPacketSize_(options.maximumPacketSize),
      device_(&DeviceOrMachinesCamera(options.device)) {
  Require(driver::DriverEntry(classDriver_.DriverObject(), nullptr), "loading the driver");
  camera_ = std::make_unique<usb::UsbCamdCamera>(classDriver_, maximumPacketSize_, device_);
}

CameraRig::~CameraRig() {
  camera_.reset();
  kernel::RunQueuedWorkItems();  // what the camera's stop left for the system worker
}

void CameraRig::Replug(usb::UsbDevice* device) {
  camera_.reset();
  frameTaken_ = false;
  device_ = &DeviceOrMachinesCamera(device);
  camera_ = std::make_unique<usb::UsbCamdCamera>(classDriver_, maximumPacketSize_, device_);
}

NTSTATUS CameraRig::Start() {
  const NTSTATUS status = camera_->Start();
  if (!kernel::NT_SUCCESS(status)) return status;
  return camera_->GetStreamInfo(streams_);
}

NTSTATUS CameraRig::Open(const VideoFormat& format, uint32_t readBuffers) {
  delivered_ = damaged_ = 0;
  frameTaken_ = false;
  const auto open = usb::MakeVideoFormat(static_cast<int32_t>(format.size.width),
                                         static_cast<int32_t>(format.size.height),
                                         format.bitCount, format.compression, format.interval);
  frameBuffer_.assign(open.VideoInfoHeader.bmiHeader.biSizeImage, 0);
  return camera_->OpenStream(open, readBuffers);
}

NTSTATUS CameraRig::Close() {
  ReleaseTaken();
  return camera_->CloseStream();
}

NTSTATUS CameraRig::Stop() {
  const NTSTATUS status = camera_->Stop();
  kernel::RunQueuedWorkItems();
  return status;
}

void CameraRig::RunBusFrame() {
  if (advancesClock_) ownClock_.Advance(kBusFrameTicks);
  camera_->RunBusFrame();
  RunSystemWorker();
}

void CameraRig::Deliver(int32_t status, std::span<uint8_t> bytes) {
  camera_->ReceivePacket(status, bytes);
  RunSystemWorker();
}

void CameraRig::RunSystemWorker() { kernel::RunQueuedWorkItems(); }

void CameraRig::ReleaseTaken() {
  if (!frameTaken_) return;
  frameTaken_ = false;
  camera_->ReleaseFrame();
}

std::optional<RigFrame> CameraRig::TakeFrame() {
  ReleaseTaken();
  if (!camera_->HasFrame()) return std::nullopt;
  const usb::DeliveredFrame frame = camera_->FrontFrame();
  frameTaken_ = true;
  const bool damaged = driver::FrameTag::Read(frame.frameContext.data()).damaged;
  ++delivered_;
  damaged_ += damaged;
  return RigFrame{frame.data, damaged, delivered_};
}

std::optional<RigFrame> CameraRig::NextFrame(uint64_t maxBusFrames) {
  ReleaseTaken();
  for (uint64_t i = 0; i < maxBusFrames && !camera_->HasFrame(); ++i) {
    camera_->LendReadBuffer(frameBuffer_);
    RunBusFrame();
  }
  camera_->TakeBackReadBuffer();
  return TakeFrame();
}

RigStatistics CameraRig::Statistics() const {
  RigStatistics statistics;
  statistics.packets = camera_->Counters().packets;
  statistics.delivered = delivered_;
  statistics.damaged = damaged_;
  const auto& extension = driver::ExtensionOf(camera_->DeviceContext());
  statistics.framesSeen = extension.FramesSeen;
  statistics.framesDropped = extension.FramesDropped;
  statistics.notDecoded = extension.DecodeFailures;
  statistics.oversized = extension.OversizedFrames;
  statistics.truncated = extension.TruncatedPassThroughFrames;
  const usb::SelectedSetting selected = usb::SelectedAlternateSetting(camera_->DeviceContext());
  statistics.packetSize = selected.maximumPacketSize;
  statistics.alternateSetting = selected.alternateSetting;
  return statistics;
}

std::vector<uint32_t> CameraRig::DriverStates() const {
  std::lock_guard guard(recorder_->lock);
  return recorder_->states;
}

uint64_t CameraRig::ValueWrites(std::string_view name) const {
  std::lock_guard guard(recorder_->lock);
  const auto found = recorder_->writes.find(name);
  return found == recorder_->writes.end() ? 0 : found->second;
}

uint64_t CameraRig::StatusChanges() const { return ValueWrites(driver::kButtonValueName); }

void CameraRig::ForgetValues() {
  std::lock_guard guard(recorder_->lock);
  recorder_->states.clear();
  // The names stay, counting from nothing: the driver writes the same few.
  for (auto& [name, count] : recorder_->writes) count = 0;
}

bool CameraRig::SnapshotWritten() { return driver::SharedLoad(Extension().SnapshotWritten) == 1; }

bool CameraRig::SnapshotRequestTakenUp() {
  return driver::SharedLoad(Extension().RegistrySnapshotRequest) != 0;
}

driver::CameraDeviceExtension& CameraRig::Extension() {
  return driver::ExtensionOf(camera_->DeviceContext());
}

}  // namespace ksv::rig
