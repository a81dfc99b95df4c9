// A USB camera as the machine runs it for capture applications: the camera
// minidriver the machine names for its USB cameras, loaded once per process
// into the class driver (its DriverEntry registers it); the camera plugged in
// under it and started; and, while the stream is open, the bus: a thread of
// its own that takes one isochronous packet a millisecond on the performance
// counter and gives the system worker its turn after each, as the host
// controller does.
//
// On a real counter the bus sleeps out each millisecond. On a simulated one
// each bus frame lets a millisecond pass (a counter whose waits advance moves
// on by it; one that only its owner moves is waited for), and the bus waits
// while every read buffer holds a frame the reader has not taken, so that a
// capture on simulated time loses no frame to the host's scheduling. There a
// reader waiting for a frame runs the bus itself, frame after frame with no
// thread between the packets and the reader, and the frame is processed
// straight into the reader's buffer; the bus thread takes the bus back once
// no reader has waited for a fiftieth of a second.
//
// Every call is safe from any thread: the camera is reached under one lock,
// which the bus holds only for one bus frame at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/property_request.h"
#include "platform/usbcamd/stream_class.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::platform::usbcamd {

// Where the machine names the driver of its USB cameras, as an installer
// writes it: a machine key with the REG_SZ values "ImagePath" (the
// minidriver's module) and "FriendlyName" (what capture applications call
// the camera).
inline constexpr const char* kCameraDriverKey = "Hardware\\Drivers\\USB Camera";

struct CameraDriver {
  std::filesystem::path module;
  std::string friendlyName;
};

// Throws RegistryError when the store cannot be written.
void RegisterCameraDriver(const CameraDriver& driver);
// False when no driver was registered.
bool UnregisterCameraDriver();
std::optional<CameraDriver> RegisteredCameraDriver();

// A minidriver module exports
//   extern "C" NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, void* registryPath);
inline constexpr const char* kDriverEntryName = "DriverEntry";
using DriverEntryFunction = NTSTATUS (*)(DRIVER_OBJECT*, void*);

class CameraStack {
 public:
  // Loads the registered minidriver (once per process; a registration that
  // names another module later loads that one too, into a class driver of
  // its own, and stacks started before keep theirs), plugs `device` in
  // under the class driver and starts the camera: configure, initialise,
  // stream information. Null, with `*error` saying why (no driver registered,
  // a module that does not load or has no entry point, a step that failed
  // with its status), when it cannot.
  static std::unique_ptr<CameraStack> Start(UsbDevice& device, std::string* error);
  ~CameraStack();  // closes the stream and stops the camera
  CameraStack(const CameraStack&) = delete;
  CameraStack& operator=(const CameraStack&) = delete;

  // What the driver reported with its stream information.
  const HW_STREAM_DESCRIPTOR& Streams() const;
  // Stream 0's data ranges, in the driver's order.
  std::span<const KS_DATARANGE_VIDEO* const> Ranges() const;

  // The driver's data intersection for `range` on stream 0: the format it
  // chooses (the bytes it wrote) in `format`. The driver's status.
  NTSTATUS Intersect(const KS_DATARANGE_VIDEO& range, std::vector<uint8_t>& format);

  // A device property get or set, checked against the driver's tables
  // first (see SendDeviceProperty).
  PropertyAnswer Property(bool isSet, const kernel::GUID& set, uint32_t id,
                          std::span<const uint8_t> input, std::span<uint8_t> value);

  // Opens the stream in `format` with `readBuffers` read buffers, sets it
  // running and starts the bus. Fails while a stream is open.
  NTSTATUS OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format, uint32_t readBuffers = 4);
  // Stops the bus, then stops and closes the stream; a waiting ReadFrame
  // returns nothing. Success when no stream is open.
  NTSTATUS CloseStream();
  bool IsStreaming() const;

  // The reader: waits for the next frame the driver delivered, copies it
  // into `buffer` (cut at its size) and gives its read buffer back. The
  // bytes the driver returned (before any cut), or nothing once the stream
  // closes or CancelRead is called. `*completed`, when asked, gets the time
  // the frame was completed on the bus, in 100-ns units of the performance
  // counter (a reader that comes late still learns when the frame was
  // captured).
  std::optional<uint32_t> ReadFrame(std::span<uint8_t> buffer, int64_t* completed = nullptr);
  // Makes a waiting ReadFrame, and every later one until the stream opens
  // again, return nothing.
  void CancelRead();

  IsochronousCounters Counters() const;

  // The camera this process hosts: a library that reaches the driver in a
  // process that already runs it (the camera's property library, say) uses
  // that instance, never a second. Each stack gets a serial number when it
  // starts; HostedSerial gives the oldest one still running (0: none), and
  // UseHosted runs `use` on the stack `serial` while keeping it from ending
  // meanwhile (false, without calling, once it has ended).
  static uint64_t HostedSerial();
  static bool UseHosted(uint64_t serial, const std::function<void(CameraStack&)>& use);

 private:
  struct State;
  explicit CameraStack(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace ksv::platform::usbcamd
