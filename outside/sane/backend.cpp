// The SANE backend "ksvcam": the camera as a still camera to scanning
// programs. Source "Camera" takes a snapshot of the live picture at the
// chosen picture size; source "Camera memory" hands the camera's stored
// pictures on, one frame each, until SANE_STATUS_NO_DOCS. Frames are 8-bit
// RGB, top-down, read line by line; sane_cancel is honoured at the next
// read. The dll backend loads this module and calls it from one thread.
#include <sane/sane.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include "include/oksv1dnl.h"
#include "outside/sane/backend_config.h"
#include "outside/sane/backend_options.h"
#include "outside/sane/camera_pictures.h"
#include "platform/hardware/device_list.h"

#define KSV_SANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace ksv::outside::sane {
namespace {

constexpr SANE_Int kBuild = 1;

const SANE_Device kDevice = {"ksvcam", "KSV", "RMC900 camera", "still camera"};

struct Session {
  Options options;
  LiveCamera live;
  std::unique_ptr<StoredPictures> stored;  // the batch "Camera memory" hands on
  size_t nextStored = 0;
  std::optional<picture::RgbPicture> frame;  // the frame being read
  size_t readOffset = 0;
  bool cancelled = false;
};

Session* open_session = nullptr;  // one at a time: the camera is one

bool initialised = false;
bool memoryImage = false;  // ksvcam.conf names one

// A camera on the machine's device list, or a memory image in its place.
bool CameraListed() {
  if (memoryImage) return true;
  const char* image = std::getenv("KSV_CAMERA_MEMORY");
  if (image != nullptr && *image != '\0') return true;
  return !platform::hardware::EnumerateDevices().devices.empty();
}

void Say(const std::string& line) { std::fprintf(stderr, "ksvcam: %s\n", line.c_str()); }

// The backend's C entry points let nothing escape.
template <typename Body>
SANE_Status Guarded(Body body) {
  try {
    return body();
  } catch (const PictureFailure& failure) {
    Say(failure.reason);
    return SANE_STATUS_IO_ERROR;
  } catch (const std::bad_alloc&) {
    return SANE_STATUS_NO_MEM;
  } catch (const std::exception& failure) {
    Say(failure.what());
    return SANE_STATUS_IO_ERROR;
  } catch (...) {
    return SANE_STATUS_IO_ERROR;
  }
}

SANE_Parameters ParametersOf(uint32_t width, uint32_t height) {
  SANE_Parameters parameters{};
  parameters.format = SANE_FRAME_RGB;
  parameters.last_frame = SANE_TRUE;
  parameters.depth = 8;
  parameters.pixels_per_line = static_cast<SANE_Int>(width);
  parameters.lines = static_cast<SANE_Int>(height);
  parameters.bytes_per_line = static_cast<SANE_Int>(width * 3);
  return parameters;
}

}  // namespace
}  // namespace ksv::outside::sane

using namespace ksv::outside::sane;

KSV_SANE_EXPORT SANE_Status sane_ksvcam_init(SANE_Int* version_code, SANE_Auth_Callback /*authorize*/) {
  if (version_code != nullptr) *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, kBuild);
  return Guarded([] {
    const BackendConfig config = ReadBackendConfig();
    memoryImage = !config.memoryImage.empty();
    if (memoryImage && access(config.memoryImage.c_str(), R_OK) != 0) {
      Say("ksvcam.conf names the memory image '" + config.memoryImage + "', which cannot be read");
    }
    BULK_UseCameraMemory(memoryImage ? config.memoryImage.c_str() : nullptr);
    initialised = true;
    return SANE_STATUS_GOOD;
  });
}

KSV_SANE_EXPORT void sane_ksvcam_exit(void) {
  delete open_session;
  open_session = nullptr;
  initialised = false;
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_get_devices(const SANE_Device*** device_list, SANE_Bool /*local_only*/) {
  static const SANE_Device* listed[] = {&kDevice, nullptr};
  static const SANE_Device* none[] = {nullptr};
  if (device_list == nullptr) return SANE_STATUS_INVAL;
  return Guarded([&] {
    *device_list = CameraListed() ? listed : none;
    return SANE_STATUS_GOOD;
  });
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_open(SANE_String_Const name, SANE_Handle* handle) {
  if (handle == nullptr) return SANE_STATUS_INVAL;
  if (!initialised) return SANE_STATUS_INVAL;
  // The empty name means the first device, the only one.
  if (name != nullptr && name[0] != '\0' && std::strcmp(name, kDevice.name) != 0) return SANE_STATUS_INVAL;
  if (open_session != nullptr) return SANE_STATUS_DEVICE_BUSY;
  return Guarded([&] {
    if (!CameraListed()) {
      Say("no camera on this machine (run `ksvcam setup` once)");
      return SANE_STATUS_IO_ERROR;
    }
    open_session = new Session;
    *handle = open_session;
    return SANE_STATUS_GOOD;
  });
}

KSV_SANE_EXPORT void sane_ksvcam_close(SANE_Handle handle) {
  if (handle == nullptr || handle != open_session) return;
  delete open_session;
  open_session = nullptr;
}

KSV_SANE_EXPORT const SANE_Option_Descriptor* sane_ksvcam_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
  if (handle == nullptr || handle != open_session) return nullptr;
  return open_session->options.Descriptor(option);
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                                       void* value, SANE_Int* info) {
  if (handle == nullptr || handle != open_session) return SANE_STATUS_INVAL;
  Session& session = *open_session;
  // Options hold still while a frame is read.
  if (action != SANE_ACTION_GET_VALUE && session.frame) return SANE_STATUS_DEVICE_BUSY;
  const SANE_Status status = session.options.Control(option, action, value, info);
  // Choosing the source again starts the stored pictures' batch anew.
  if (status == SANE_STATUS_GOOD && action != SANE_ACTION_GET_VALUE && option == kSourceOption) {
    session.stored.reset();
    session.nextStored = 0;
  }
  return status;
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
  if (handle == nullptr || handle != open_session || params == nullptr) return SANE_STATUS_INVAL;
  Session& session = *open_session;
  if (session.frame) {
    *params = ParametersOf(session.frame->width, session.frame->height);
  } else {
    // Before a start, the best guess: the picture size (the stored
    // pictures' own sizes are known once one is taken).
    const Size size = session.options.size();
    *params = ParametersOf(static_cast<uint32_t>(size.width), static_cast<uint32_t>(size.height));
  }
  return SANE_STATUS_GOOD;
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_start(SANE_Handle handle) {
  if (handle == nullptr || handle != open_session) return SANE_STATUS_INVAL;
  Session& session = *open_session;
  if (session.frame) return SANE_STATUS_DEVICE_BUSY;
  session.cancelled = false;
  session.readOffset = 0;
  return Guarded([&] {
    if (session.options.source() == Source::kCamera) {
      const Size size = session.options.size();
      session.frame = session.live.Snapshot(size.width, size.height);
      return SANE_STATUS_GOOD;
    }
    if (!session.stored) {
      session.stored = std::make_unique<StoredPictures>();
      session.nextStored = 0;
    }
    if (session.nextStored >= session.stored->count()) return SANE_STATUS_NO_DOCS;
    session.frame = session.stored->Picture(session.nextStored++);
    return SANE_STATUS_GOOD;
  });
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length,
                                             SANE_Int* length) {
  if (length != nullptr) *length = 0;
  if (handle == nullptr || handle != open_session || data == nullptr || length == nullptr || max_length < 0) {
    return SANE_STATUS_INVAL;
  }
  Session& session = *open_session;
  if (session.cancelled) {
    session.cancelled = false;
    return SANE_STATUS_CANCELLED;
  }
  if (!session.frame) return SANE_STATUS_INVAL;  // no start
  const std::vector<uint8_t>& pixels = session.frame->pixels;
  if (session.readOffset >= pixels.size()) {
    session.frame.reset();
    return SANE_STATUS_EOF;
  }
  const size_t count = std::min(pixels.size() - session.readOffset, static_cast<size_t>(max_length));
  std::memcpy(data, pixels.data() + session.readOffset, count);
  session.readOffset += count;
  *length = static_cast<SANE_Int>(count);
  return SANE_STATUS_GOOD;
}

KSV_SANE_EXPORT void sane_ksvcam_cancel(SANE_Handle handle) {
  if (handle == nullptr || handle != open_session) return;
  Session& session = *open_session;
  // A frame cut short: the next read says so, and the frame is dropped
  // (a stored picture is not offered again in this batch). A cancel after
  // the frame was read whole, as programs end every frame, changes nothing.
  if (session.frame) session.cancelled = true;
  session.frame.reset();
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
  if (handle == nullptr || handle != open_session) return SANE_STATUS_INVAL;
  return non_blocking == SANE_FALSE ? SANE_STATUS_GOOD : SANE_STATUS_UNSUPPORTED;
}

KSV_SANE_EXPORT SANE_Status sane_ksvcam_get_select_fd(SANE_Handle handle, SANE_Int* fd) {
  if (handle == nullptr || handle != open_session || fd == nullptr) return SANE_STATUS_INVAL;
  return SANE_STATUS_UNSUPPORTED;
}
