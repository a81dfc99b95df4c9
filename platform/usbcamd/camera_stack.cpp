#include "platform/usbcamd/camera_stack.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
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
  // Every camera call, the bus's clock, and the fields below.
  mutable std::mutex lock;
  std::condition_variable frameReady;  // readers: a frame came, the bus is theirs, or reading ended
  std::condition_variable busWake;     // the bus: a read buffer came free, a reader's call, or stop
  // Whoever sleeps on the bus's clock: the stream stops or a read is
  // cancelled. Apart from busWake, so that a freed read buffer does not
  // wake a bus that sleeps until its next frame.
  std::condition_variable clockWake;
  std::condition_variable readerDone;  // the closer: no reader is copying or on the bus's clock
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

  // The bus's time, kept by whoever runs the bus: the bus thread, or on a
  // simulated counter a reader waiting for a frame (see ReadFrame).
  std::optional<BusClock> clock;
  std::unique_lock<std::mutex>* clockGuard = nullptr;  // held while the clock is waited on
  bool nextFrameDue = false;  // a bus frame ran: the clock is waited on before the next
  bool readerDrives = false;  // the bus is a reader's; its thread stands by
  bool readerWantsBus = false;
  bool readerOnBus = false;   // a reader is running the bus now
  // The reader whose buffer is lent to the camera (see ReadFrame): one at
  // a time, from the lending until that reader leaves.
  const uint8_t* loanedTo = nullptr;
  bool threadOnClock = false; // the bus thread is waiting on the clock
  int readersInside = 0;
  std::chrono::steady_clock::time_point readerLeft;
  // The bus thread stands by without the camera's lock while a reader
  // drives the bus, watching how many times readers came (see StandBy).
  std::atomic<uint64_t> readerVisits{0};
  std::mutex standbyLock;
  std::condition_variable standbyWake;
  bool standbyKick = false;  // under standbyLock: the stream stops, or the bus is the thread's

  void RunBus();
  // One bus frame, under the lock: the device's packet, the system worker's
  // turn, and a completed frame stamped and announced.
  void RunBusFrame();
  // Waits on the clock for the next bus frame, under `guard`; false when
  // the bus is to stop (or, for a reader, reading was cancelled).
  bool WaitOnClock(std::unique_lock<std::mutex>& guard);
  // Sleeps up to `duration` under the clock's guard unless the bus is to
  // stop; false when it is.
  bool SleepUnlessStopped(std::chrono::nanoseconds duration);
  // The bus thread may run a bus frame now; otherwise, whether to stay.
  bool BusThreadMayRun();
  // The bus thread, while a reader drives the bus: waits, without `guard`,
  // until no reader came for kReaderAway or it is kicked.
  void StandBy(std::unique_lock<std::mutex>& guard);
  void KickStandBy();
};

bool CameraStack::State::SleepUnlessStopped(std::chrono::nanoseconds duration) {
  const auto stopped = [this] { return stopBus || (readerOnBus && readCancelled); };
  if (duration.count() > 0) clockWake.wait_for(*clockGuard, duration, stopped);
  return !stopped();
}

bool CameraStack::State::WaitOnClock(std::unique_lock<std::mutex>& guard) {
  clockGuard = &guard;
  const bool go = clock->WaitForNextFrame();
  clockGuard = nullptr;
  nextFrameDue = false;
  return go;
}

void CameraStack::State::RunBusFrame() {
  const size_t waiting = camera->WaitingFrames();
  {
    // The frame runs late when it is one of a transfer's; the driver's
    // completion routine sees the time its packet came. Simulated time
    // never runs late.
    std::optional<kernel::ScopedCounterLag> asDue;
    if (clock->OnRealCounter()) asDue.emplace(clock->Lateness());
    camera->RunBusFrame();
  }
  kernel::RunQueuedWorkItems();
  nextFrameDue = true;
  // A frame completes at most once a bus frame, and is stamped with its time.
  if (camera->WaitingFrames() > waiting) {
    if (!completedAt.empty()) {
      completedAt[(completedHead + waiting) % completedAt.size()] = clock->FrameTime100ns();
    }
    frameReady.notify_all();
  }
}

// A reader that runs the bus keeps it while it reads; the thread takes it
// back once no reader has been waiting for a frame for this long (on
// simulated time the bus then runs ahead until the read buffers are full).
constexpr std::chrono::milliseconds kReaderAway{20};

// The reader holds the camera's lock for most of its time, so the thread
// looks under it only after a while in which no reader came: a look that
// had to wait for the lock would cost the reader a wake-up every time.
void CameraStack::State::StandBy(std::unique_lock<std::mutex>& guard) {
  uint64_t visits = readerVisits.load(std::memory_order_acquire);
  guard.unlock();
  {
    std::unique_lock standby(standbyLock);
    while (!standbyWake.wait_for(standby, kReaderAway, [this] { return standbyKick; })) {
      const uint64_t now = readerVisits.load(std::memory_order_acquire);
      if (now == visits) break;
      visits = now;
    }
    standbyKick = false;
  }
  guard.lock();
}

void CameraStack::State::KickStandBy() {
  {
    std::lock_guard standby(standbyLock);
    standbyKick = true;
  }
  standbyWake.notify_all();
}

bool CameraStack::State::BusThreadMayRun() {
  if (readerWantsBus) {
    readerWantsBus = false;
    readerDrives = true;
    frameReady.notify_all();
  }
  if (readerDrives) {
    const bool away = readersInside == 0 && !readerOnBus &&
                      std::chrono::steady_clock::now() - readerLeft >= kReaderAway;
    if (!away) return false;
    readerDrives = false;
  }
  // On simulated time the host never keeps the reader from its frames:
  // the bus waits for a read buffer rather than lose a frame.
  return !BusClock::IsSimulated() || !camera->ReadBuffersFull();
}

void CameraStack::State::RunBus() {
  std::unique_lock guard(lock);
  for (;;) {
    while (!stopBus && !BusThreadMayRun()) {
      if (readerDrives) {
        StandBy(guard);
      } else {
        busWake.wait(guard);
      }
    }
    if (stopBus) return;
    if (nextFrameDue) {
      threadOnClock = true;
      const bool go = WaitOnClock(guard);
      threadOnClock = false;
      if (!go) return;
      continue;  // a reader may have asked for the bus meanwhile
    }
    RunBusFrame();
    // Others get the camera between bus frames, also in a transfer's run.
    guard.unlock();
    guard.lock();
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
  s.clock.emplace([&s](std::chrono::nanoseconds duration) { return s.SleepUnlessStopped(duration); });
  s.nextFrameDue = false;
  s.readerDrives = false;
  s.readerWantsBus = false;
  s.loanedTo = nullptr;
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
  s.clockWake.notify_all();
  s.KickStandBy();
  s.frameReady.notify_all();
  s.bus.join();
  std::unique_lock guard(s.lock);
  // The buffers and the clock go with the stream.
  s.readerDone.wait(guard, [&s] { return !s.copying && !s.readerOnBus; });
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
  ++s.readersInside;
  s.readerVisits.fetch_add(1, std::memory_order_release);
  // On a simulated counter a reader waiting for a frame runs the bus
  // itself, each bus frame straight after the last with no thread between
  // the packets and the reader, and the frame is processed into `buffer`.
  const bool simulated = s.streaming && BusClock::IsSimulated();
  if (!simulated && s.readerDrives) {  // the counter became a real one
    s.readerDrives = false;
    s.busWake.notify_all();
    s.KickStandBy();
  }
  // A reader waiting for a frame lends the camera its buffer, so that the
  // frame is processed straight into it rather than into a read buffer and
  // copied again (one reader's buffer at a time).
  const auto mayLend = [&s, &buffer] {
    return s.loanedTo == nullptr || s.loanedTo == buffer.data();
  };
  while (!ended() && (s.copying || !s.camera->HasFrame())) {
    // The bus thread runs the bus, another reader does, or another reader
    // copies a frame: wait for it.
    if (!simulated || s.copying || s.readerOnBus) {
      if (!simulated && mayLend()) {
        s.camera->LendReadBuffer(buffer);
        s.loanedTo = buffer.data();
      }
      s.frameReady.wait(guard);
      continue;
    }
    if (!s.readerDrives) {
      if (s.threadOnClock) {  // the thread hands the bus over after its wait
        s.readerWantsBus = true;
        s.busWake.notify_all();
        s.frameReady.wait(guard);
        continue;
      }
      s.readerDrives = true;  // the thread stands by between bus frames
    }
    s.readerOnBus = true;
    if (s.nextFrameDue) {
      s.WaitOnClock(guard);  // a stop or a cancel ends the loop
    } else if (mayLend()) {
      s.camera->LendReadBuffer(buffer);
      s.RunBusFrame();
      s.camera->TakeBackReadBuffer();
    } else {
      s.RunBusFrame();
    }
    s.readerOnBus = false;
    s.readerDone.notify_all();
  }
  if (--s.readersInside == 0) s.readerWantsBus = false;
  s.readerLeft = std::chrono::steady_clock::now();
  // Decided now: the wait below lets go of the lock, and a stream opened
  // again meanwhile would no longer look ended.
  const bool leaving = ended();
  if (s.loanedTo == buffer.data()) {
    s.loanedTo = nullptr;
    if (leaving) {
      // A frame may have gone into the buffer meanwhile: it stays for the
      // next reader, and nobody may be copying out of the buffer any more
      // once it is handed back.
      s.camera->ReclaimReadBuffer(buffer);
      s.readerDone.wait(guard, [&s] { return !s.copying; });
    } else {
      // The frame taken below is the only one that can be in it.
      s.camera->TakeBackReadBuffer();
    }
  }
  if (leaving) return std::nullopt;
  const DeliveredFrame frame = s.camera->FrontFrame();
  const size_t copied = std::min(frame.data.size(), buffer.size());
  if (frame.data.data() != buffer.data() && copied > 0) {
    // The copy runs without the lock, so the bus goes on meanwhile: the bus
    // never fills a read buffer that holds a frame the reader has not
    // taken, another reader waits for the copy, and CloseStream waits for
    // it before the buffers go.
    s.copying = true;
    guard.unlock();
    std::memcpy(buffer.data(), frame.data.data(), copied);
    guard.lock();
    s.copying = false;
  }
  const auto bytes = static_cast<uint32_t>(frame.data.size());
  if (completed != nullptr) *completed = s.completedAt[s.completedHead];
  s.completedHead = (s.completedHead + 1) % s.completedAt.size();
  s.camera->ReleaseFrame();
  const bool busWaits = !s.readerDrives;
  guard.unlock();
  s.readerDone.notify_all();
  s.frameReady.notify_all();  // another reader may take the next frame
  if (busWaits) s.busWake.notify_all();  // a read buffer came free
  return bytes;
}

void CameraStack::CancelRead() {
  {
    std::lock_guard guard(state_->lock);
    state_->readCancelled = true;
  }
  state_->frameReady.notify_all();
  state_->clockWake.notify_all();  // a reader on the bus's clock
}

IsochronousCounters CameraStack::Counters() const {
  std::lock_guard guard(state_->lock);
  return state_->camera->Counters();
}

}  // namespace ksv::platform::usbcamd
