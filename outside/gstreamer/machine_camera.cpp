#include "outside/gstreamer/machine_camera.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/hardware/device_list.h"
#include "platform/kernel/status_text.h"
#include "platform/root/system_root.h"

namespace ksv::outside::gstreamer {
namespace {

namespace fs = std::filesystem;
namespace usb = platform::usbcamd;
namespace hardware = platform::hardware;

// As `ksvcam setup` lists and registers them.
constexpr const char* kSimulatedCameraName = "RMC900 USB Camera (simulated)";
constexpr const char* kCameraDriverName = "RMC900 USB Camera";

// lib/ksv beside the folder this plug-in lies in (lib/gstreamer-1.0), or
// KSV_MODULE_DIR.
fs::path ModuleFolder() {
  const char* folder = std::getenv("KSV_MODULE_DIR");
  if (folder != nullptr && *folder != '\0') return fs::absolute(folder);
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return fs::absolute(info.dli_fname).parent_path().parent_path() / "ksv";
}

void PrepareMachine() {
  const fs::path folder = ModuleFolder();
  std::error_code error;
  if (hardware::ListedModules().empty() && fs::is_regular_file(folder / "ksvsimcam.so", error)) {
    hardware::ListModule(kSimulatedCameraName, folder / "ksvsimcam.so");
  }
  if (!usb::RegisteredCameraDriver() && fs::is_regular_file(folder / "oksv1vid.so", error)) {
    usb::RegisterCameraDriver({folder / "oksv1vid.so", kCameraDriverName});
  }
}

std::string DisplayName() {
  const auto driver = usb::RegisteredCameraDriver();
  return driver && !driver->friendlyName.empty() ? driver->friendlyName : kCameraDriverName;
}

// The camera's hold: a lock on a file of the system root that the system
// drops when the holding process ends, however it ends. -1 when another
// process holds it; throws for a root that cannot be written.
int HoldCamera(const std::string& deviceName) {
  std::string file = deviceName;
  for (char& c : file) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  }
  const fs::path folder = platform::SystemRoot() / "camera-holds";
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path path = folder / (file + ".hold");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw CameraError(CameraProblem::kFailed,
                      "cannot make the camera's hold file " + path.string() + ": " +
                          std::strerror(errno));
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<CameraOutput> OutputsOf(usb::CameraStack& stack) {
  std::vector<CameraOutput> outputs;
  for (const usb::KS_DATARANGE_VIDEO* range : stack.Ranges()) {
    std::vector<uint8_t> bytes;
    usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
    if (!platform::kernel::NT_SUCCESS(stack.Intersect(*range, bytes)) || bytes.size() < sizeof format) {
      continue;
    }
    std::memcpy(&format, bytes.data(), sizeof format);
    const auto& header = format.VideoInfoHeader.bmiHeader;
    const auto width = static_cast<uint32_t>(std::abs(header.biWidth));
    const auto height = static_cast<uint32_t>(std::abs(header.biHeight));
    const bool seen = std::any_of(outputs.begin(), outputs.end(), [&](const CameraOutput& o) {
      return o.width == width && o.height == height;
    });
    if (seen || width == 0 || height == 0) continue;
    // The driver fills its interval bounds in either order.
    const int64_t first = range->ConfigCaps.MinFrameInterval;
    const int64_t second = range->ConfigCaps.MaxFrameInterval;
    for (const bool rgb : {false, true}) {
      outputs.push_back({width, height, rgb, std::min(first, second), std::max(first, second)});
    }
  }
  return outputs;
}

}  // namespace

std::vector<MachineCamera> MachineCameras() {
  PrepareMachine();
  std::vector<MachineCamera> cameras;
  for (hardware::HardwareDevice* device : hardware::EnumerateDevices().devices) {
    if (device->Function(usb::kUsbDeviceInterface) != nullptr) {
      cameras.push_back({std::string(device->Name()), DisplayName()});
    }
  }
  return cameras;
}

std::unique_ptr<HostedCamera> HostedCamera::Open(const std::string& deviceName) {
  PrepareMachine();
  const auto enumeration = hardware::EnumerateDevices();
  hardware::HardwareDevice* found = nullptr;
  for (hardware::HardwareDevice* device : enumeration.devices) {
    if (device->Function(usb::kUsbDeviceInterface) == nullptr) continue;
    if (deviceName.empty() || device->Name() == deviceName || DisplayName() == deviceName) {
      found = device;
      break;
    }
  }
  if (found == nullptr) {
    throw CameraError(CameraProblem::kMissing,
                      deviceName.empty()
                          ? hardware::DescribeMissing("a camera", enumeration.problems)
                          : "there is no camera called '" + deviceName + "' on this machine");
  }
  const std::string name(found->Name());
  const int hold = HoldCamera(name);
  if (hold < 0) {
    throw CameraError(CameraProblem::kInUse,
                      "the camera '" + name + "' is in use by another program");
  }
  std::string error;
  auto stack =
      usb::CameraStack::Start(*static_cast<usb::UsbDevice*>(found->Function(usb::kUsbDeviceInterface)),
                              &error);
  if (!stack) {
    ::close(hold);
    throw CameraError(CameraProblem::kFailed, "the camera does not start: " + error);
  }
  return std::unique_ptr<HostedCamera>(new HostedCamera(hold, name, std::move(stack)));
}

HostedCamera::HostedCamera(int holdFile, std::string deviceName,
                           std::unique_ptr<platform::usbcamd::CameraStack> stack)
    : holdFile_(holdFile), deviceName_(std::move(deviceName)), stack_(std::move(stack)) {
  outputs_ = OutputsOf(*stack_);
}

HostedCamera::~HostedCamera() {
  stack_.reset();  // the driver lets go of the camera before the hold ends
  ::close(holdFile_);
}

uint32_t FrameBytes(uint32_t width, uint32_t height, bool rgb) {
  if (!rgb) return width * height * 3 / 2;
  return (width * 3 + 3) / 4 * 4 * height;
}

}  // namespace ksv::outside::gstreamer
