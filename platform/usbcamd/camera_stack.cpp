#include "platform/usbcamd/camera_stack.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <thread>

#include "platform/kernel/status_text.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/bus_clock.h"
#include "platform/usbcamd/camera_driver_loader.h"

namespace ksv::platform::usbcamd {

namespace {

using kernel::NT_SUCCESS;

std::string Failed(const std::string& step, NTSTATUS status) {
  return step + " failed with " + kernel::StatusText(status);
}

// The running stacks of the process, oldest first. A recursive lock: a
// user of a hosted stack may look the list up again.
std::recursive_mutex hostedLock;
std::vector<std::pair<uint64_t, CameraStack*>> hosted;
uint64_t lastSerial = 0;

}  // namespace

struct CameraStack::State {
  // Open and close (and the end of the stack) one at a time; the bus never
  // takes it, so the bus can be joined under it.
  std::mutex control;
  // Every camera call, and the fields below.
  mutable std::mutex lock;
  std::condition_variable frameReady;  // the reader: a frame came, a copy ended, or reading ended
  std::condition_variable busWake;     // the bus: a read buffer came free, or stop
  std::condition_variable copyEnded;   // the closer: the reader's copy is done
  std::unique_ptr<UsbCamdCamera> camera;
  HW_STREAM_DESCRIPTOR streams{};
  bool streaming = false;
  bool stopBus = false;
  bool readCancelled = false;
  // A reader is copying the front frame without the lock (see ReadFrame).
  bool copying = false;
  std::thread bus;
  // When each frame waiting for the reader was completed, oldest first (a
  // ring as long as the read buffers, filled as the bus completes frames).
  std::vector<int64_t> completedAt;
  size_t completedHead = 0;

  void RunBus();

  // Sleeps up to `duration` unless the bus is to stop; false when it is.
  bool SleepUnlessStopped(std::chrono::nanoseconds duration);
};

bool CameraStack::State::SleepUnlessStopped(std::chrono::nanoseconds duration) {
  std::unique_lock guard(lock);
  if (duration.count() > 0) busWake.wait_for(guard, duration, [this] { return stopBus; });
  return !stopBus;
}

void CameraStack::State::RunBus() {
  BusClock clock([this](std::chrono::nanoseconds duration) { return SleepUnlessStopped(duration); });
  for (;;) {
    {
      std::unique_lock guard(lock);
      // On simulated time the host never keeps the reader from its frames:
      // the bus waits for a read buffer rather than lose a frame.
      busWake.wait(guard, [this] {
        return stopBus || !BusClock::IsSimulated() || !camera->ReadBuffersFull();
      });
      if (stopBus) return;
      const size_t waiting = camera->WaitingFrames();
      {
        // The frame runs late when it is one of a transfer's; the driver's
        // completion routine sees the time its packet came.
        const kernel::ScopedCounterLag asDue(clock.Lateness());
        camera->RunBusFrame();
      }
      kernel::RunQueuedWorkItems();
      // A frame completes at most once a bus frame, and is stamped with its time.
      if (camera->WaitingFrames() > waiting && !completedAt.empty()) {
        completedAt[(completedHead + waiting) % completedAt.size()] = clock.FrameTime100ns();
      }
      if (camera->WaitingFrames() > waiting) frameReady.notify_all();
    }
    if (!clock.WaitForNextFrame()) return;
  }
}

CameraStack::CameraStack(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<CameraStack> CameraStack::Start(UsbDevice& device, std::string* error) {
  std::string why;
  ClassDriver* classDriver = LoadRegisteredCameraDriver(&why);
  const auto fail = [error](std::string text) {
    if (error != nullptr) *error = std::move(text);
    return nullptr;
  };
  if (classDriver == nullptr) return fail(why);
  auto state = std::make_unique<State>();
  try {
    state->camera = std::make_unique<UsbCamdCamera>(*classDriver, 0, &device);
  } catch (const std::invalid_argument& failure) {
    return fail(std::string("the camera cannot be plugged in: ") + failure.what());
  }
  // A stack that fails below is ended by its destructor, which stops the
  // camera.
  std::unique_ptr<CameraStack> stack(new CameraStack(std::move(state)));
  State& s = *stack->state_;
  {
    std::lock_guard guard(s.lock);
    NTSTATUS status = s.camera->Start();
    kernel::RunQueuedWorkItems();
    if (!NT_SUCCESS(status)) return fail(Failed("starting the camera", status));
    status = s.camera->GetStreamInfo(s.streams);
    kernel::RunQueuedWorkItems();
    if (!NT_SUCCESS(status)) return fail(Failed("asking for the stream information", status));
    if (s.streams.StreamHeader.NumberOfStreams == 0) {
      return fail("the camera driver reported no stream");
    }
  }
  // Never while holding the stack's own lock: a user of a hosted stack holds
  // the list's lock and then takes the stack's.
  std::lock_guard hostedGuard(hostedLock);
  hosted.emplace_back(++lastSerial, stack.get());
  return stack;
}

uint64_t CameraStack::HostedSerial() {
  std::lock_guard guard(hostedLock);
  return hosted.empty() ? 0 : hosted.front().first;
}

bool CameraStack::UseHosted(uint64_t serial, const std::function<void(CameraStack&)>& use) {
  std::lock_guard guard(hostedLock);
  for (const auto& [number, stack] : hosted) {
    if (number == serial) {
      use(*stack);
      return true;
    }
  }
  return false;
}

CameraStack::~CameraStack() {
  {
    std::lock_guard guard(hostedLock);
    std::erase_if(hosted, [this](const auto& entry) { return entry.second == this; });
  }
  CloseStream();
  std::lock_guard guard(state_->lock);
  state_->camera.reset();
  kernel::RunQueuedWorkItems();  // what the camera's stop left for the system worker
}

const HW_STREAM_DESCRIPTOR& CameraStack::Streams() const { return state_->streams; }

std::span<const KS_DATARANGE_VIDEO* const> CameraStack::Ranges() const {
  const HW_STREAM_INFORMATION& stream = state_->streams.StreamInfo;
  if (stream.StreamFormatsArray == nullptr) return {};
  return {stream.StreamFormatsArray, stream.NumberOfFormatArrayEntries};
}

NTSTATUS CameraStack::Intersect(const KS_DATARANGE_VIDEO& range, std::vector<uint8_t>& format) {
  format.clear();
  std::lock_guard guard(state_->lock);
  STREAM_DATA_INTERSECT_INFO info;
  info.StreamNumber = 0;
  info.DataRange = &range.DataRange;
  const auto ask = [&]() {
    HW_STREAM_REQUEST_BLOCK srb;
    srb.Command = SRB_GET_DATA_INTERSECTION;
    srb.CommandData.IntersectInfo = &info;
    srb.NumberOfBytesToTransfer = info.SizeOfDataFormatBuffer;
    const NTSTATUS status = state_->camera->SendDeviceRequest(srb);
    return std::pair{status, srb.ActualBytesTransferred};
  };
  // First the size the format needs, then the format.
  auto [status, bytes] = ask();
  if (status == kernel::STATUS_BUFFER_OVERFLOW && bytes > 0) {
    format.assign(bytes, 0);
    info.DataFormatBuffer = format.data();
    info.SizeOfDataFormatBuffer = bytes;
    std::tie(status, bytes) = ask();
  }
  if (!NT_SUCCESS(status) || status == kernel::STATUS_BUFFER_OVERFLOW) {
    format.clear();
    return status;
  }
  format.resize(std::min<size_t>(bytes, format.size()));
  return status;
}

PropertyAnswer CameraStack::Property(bool isSet, const kernel::GUID& set, uint32_t id,
                                     std::span<const uint8_t> input, std::span<uint8_t> value) {
  std::lock_guard guard(state_->lock);
  const PropertyAnswer answer = SendDeviceProperty(*state_->camera, state_->streams.StreamHeader,
                                                   isSet, set, id, input, value);
  kernel::RunQueuedWorkItems();
  return answer;
}

NTSTATUS CameraStack::OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format,
                                 uint32_t readBuffers) {
  State& s = *state_;
  std::lock_guard control(s.control);
  std::lock_guard guard(s.lock);
  if (s.streaming) return kernel::STATUS_UNSUCCESSFUL;
  const NTSTATUS status = s.camera->OpenStream(format, readBuffers);
  kernel::RunQueuedWorkItems();
  if (!NT_SUCCESS(status)) return status;
  s.stopBus = false;
  s.readCancelled = false;
  s.completedAt.assign(std::max<uint32_t>(readBuffers, 1), 0);
  s.completedHead = 0;
  try {
    s.bus = std::thread([&s] { s.RunBus(); });
  } catch (const std::system_error&) {
    s.camera->CloseStream();
    kernel::RunQueuedWorkItems();
    return kernel::STATUS_INSUFFICIENT_RESOURCES;
  }
  s.streaming = true;
  return kernel::STATUS_SUCCESS;
}

NTSTATUS CameraStack::CloseStream() {
  State& s = *state_;
  std::lock_guard control(s.control);
  {
    std::lock_guard guard(s.lock);
    if (!s.streaming) return kernel::STATUS_SUCCESS;
    s.streaming = false;
    s.stopBus = true;
  }
  s.busWake.notify_all();
  s.frameReady.notify_all();
  s.bus.join();
  std::unique_lock guard(s.lock);
  s.copyEnded.wait(guard, [&s] { return !s.copying; });  // the buffers go with the stream
  const NTSTATUS status = s.camera->CloseStream();
  kernel::RunQueuedWorkItems();
  return status;
}

bool CameraStack::IsStreaming() const {
  std::lock_guard guard(state_->lock);
  return state_->streaming;
}

std::optional<uint32_t> CameraStack::ReadFrame(std::span<uint8_t> buffer, int64_t* completed) {
  State& s = *state_;
  std::unique_lock guard(s.lock);
  const auto ended = [&s] { return s.readCancelled || !s.streaming; };
  s.frameReady.wait(guard, [&] { return ended() || (!s.copying && s.camera->HasFrame()); });
  if (ended()) return std::nullopt;
  const DeliveredFrame frame = s.camera->FrontFrame();
  const size_t copied = std::min(frame.data.size(), buffer.size());
  // The copy runs without the lock, so the bus goes on meanwhile: the bus
  // never fills a read buffer that holds a frame the reader has not taken,
  // another reader waits for the copy, and CloseStream waits for it before
  // the buffers go.
  s.copying = true;
  guard.unlock();
  if (copied > 0) std::memcpy(buffer.data(), frame.data.data(), copied);
  guard.lock();
  s.copying = false;
  const auto bytes = static_cast<uint32_t>(frame.data.size());
  if (completed != nullptr) *completed = s.completedAt[s.completedHead];
  s.completedHead = (s.completedHead + 1) % s.completedAt.size();
  s.camera->ReleaseFrame();
  guard.unlock();
  s.copyEnded.notify_all();
  s.frameReady.notify_all();  // another reader may take the next frame
  s.busWake.notify_all();     // a read buffer came free
  return bytes;
}

void CameraStack::CancelRead() {
  {
    std::lock_guard guard(state_->lock);
    state_->readCancelled = true;
  }
  state_->frameReady.notify_all();
}

IsochronousCounters CameraStack::Counters() const {
  std::lock_guard guard(state_->lock);
  return state_->camera->Counters();
}

}  // namespace ksv::platform::usbcamd
