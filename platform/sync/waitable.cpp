#include "platform/sync/waitable.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "platform/kernel/performance_counter.h"
#include "platform/sync/sync.h"

namespace ksv::platform::sync {
namespace {

namespace kernel = ksv::platform::kernel;

struct HandleTable {
  std::mutex mutex;
  uintptr_t last = 0x1000;
  std::unordered_map<uintptr_t, std::shared_ptr<WaitableObject>> objects;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;  // handles may be closed at exit
  return *table;
}

// A simulated counter is moved by other threads: a wait that depends on it
// looks again this often.
constexpr int64_t kSimulatedRecheckNs = 1'000'000;

int64_t TicksToNanoseconds(int64_t ticks, int64_t frequency) {
  __extension__ using Wide = __int128;
  const Wide ns = (static_cast<Wide>(ticks) * 1'000'000'000 + frequency - 1) / frequency;
  return static_cast<int64_t>(std::min<Wide>(ns, INT64_MAX / 2));
}

// Keeps `waiter` on every object and the extra source for one wait.
class Attachment {
 public:
  Attachment(const std::vector<std::shared_ptr<WaitableObject>>& objects, WaitSource* extra,
             Waiter* waiter)
      : objects_(objects), extra_(extra), waiter_(waiter) {
    for (const auto& object : objects_) object->AddWaiter(waiter_);
    if (extra_ != nullptr) extra_->AddWaiter(waiter_);
  }
  ~Attachment() {
    for (const auto& object : objects_) object->RemoveWaiter(waiter_);
    if (extra_ != nullptr) extra_->RemoveWaiter(waiter_);
  }
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

 private:
  const std::vector<std::shared_ptr<WaitableObject>>& objects_;
  WaitSource* extra_;
  Waiter* waiter_;
};

std::optional<DWORD> TakeAny(const std::vector<std::shared_ptr<WaitableObject>>& objects,
                             WaitSource* extra) {
  for (size_t i = 0; i < objects.size(); ++i) {
    std::lock_guard guard(objects[i]->lock());
    if (objects[i]->SignalledLocked()) {
      objects[i]->TakeLocked();
      return WAIT_OBJECT_0 + static_cast<DWORD>(i);
    }
  }
  if (extra != nullptr && extra->Ready()) return WAIT_OBJECT_0 + static_cast<DWORD>(objects.size());
  return std::nullopt;
}

// `byAddress` holds the objects sorted by address (the order every wait
// for all locks them in), without duplicates.
std::optional<DWORD> TakeAll(const std::vector<WaitableObject*>& byAddress, WaitSource* extra) {
  if (extra != nullptr && !extra->Ready()) return std::nullopt;
  std::vector<std::unique_lock<std::mutex>> locks;
  locks.reserve(byAddress.size());
  for (WaitableObject* object : byAddress) {
    locks.emplace_back(object->lock());
    if (!object->SignalledLocked()) return std::nullopt;
  }
  for (WaitableObject* object : byAddress) object->TakeLocked();
  return WAIT_OBJECT_0;
}

}  // namespace

void Waiter::Notify() {
  std::lock_guard guard(mutex_);
  notified_ = true;
  wake_.notify_one();
}

void Waiter::Sleep(std::optional<int64_t> nanoseconds) {
  std::unique_lock guard(mutex_);
  if (nanoseconds) {
    wake_.wait_for(guard, std::chrono::nanoseconds(*nanoseconds), [&] { return notified_; });
  } else {
    wake_.wait(guard, [&] { return notified_; });
  }
  notified_ = false;
}

void WaiterList::Remove(Waiter* waiter) {
  const auto found = std::find(waiters_.begin(), waiters_.end(), waiter);
  if (found != waiters_.end()) waiters_.erase(found);
}

void WaiterList::NotifyAll() const {
  for (Waiter* waiter : waiters_) waiter->Notify();
}

void WaitableObject::AddWaiter(Waiter* waiter) {
  std::lock_guard guard(mutex_);
  waiters_.Add(waiter);
}

void WaitableObject::RemoveWaiter(Waiter* waiter) {
  std::lock_guard guard(mutex_);
  waiters_.Remove(waiter);
}

HANDLE OpenHandle(std::shared_ptr<WaitableObject> object) {
  HandleTable& table = Handles();
  std::lock_guard guard(table.mutex);
  table.last += 4;
  table.objects.emplace(table.last, std::move(object));
  return reinterpret_cast<HANDLE>(table.last);
}

std::shared_ptr<WaitableObject> ObjectOf(HANDLE handle) {
  HandleTable& table = Handles();
  std::lock_guard guard(table.mutex);
  const auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second;
}

DWORD WaitForObjects(std::span<const HANDLE> handles, bool waitAll, DWORD milliseconds,
                     WaitSource* extra) {
  if (handles.size() > MAXIMUM_WAIT_OBJECTS || (handles.empty() && extra == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<WaitableObject>> objects;
  for (HANDLE handle : handles) {
    objects.push_back(ObjectOf(handle));
    if (objects.back() == nullptr) return WAIT_FAILED;
  }
  std::vector<WaitableObject*> byAddress;
  for (const auto& object : objects) byAddress.push_back(object.get());
  std::sort(byAddress.begin(), byAddress.end());
  if (waitAll && std::adjacent_find(byAddress.begin(), byAddress.end()) != byAddress.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }

  Waiter waiter;
  const Attachment attachment(objects, extra, &waiter);
  const kernel::CounterReading start = kernel::ReadInstalledCounter();
  std::optional<int64_t> deadline;
  if (milliseconds != INFINITE) {
    deadline = start.counter + kernel::IntervalToTicks(int64_t{milliseconds} * 10'000, start.frequency);
  }
  for (;;) {
    const std::optional<DWORD> taken = waitAll ? TakeAll(byAddress, extra) : TakeAny(objects, extra);
    if (taken) return *taken;
    if (deadline) {
      // A counter uninstalled during the wait may be gone: its time-out is over.
      const std::optional<int64_t> now = kernel::CounterIfStillInstalled(start.source);
      if (!now || *now >= *deadline) return WAIT_TIMEOUT;
    }
    const kernel::CounterReading clock = kernel::ReadInstalledCounter();
    const std::optional<int64_t> due = extra != nullptr ? extra->ReadyAt() : std::nullopt;
    if (due && *due <= clock.counter) continue;  // ready now; the next look takes it
    std::optional<int64_t> sleep;
    if (clock.real) {
      std::optional<int64_t> until = due;
      if (deadline && clock.source == start.source) until = std::min(until.value_or(*deadline), *deadline);
      if (until) sleep = TicksToNanoseconds(*until - clock.counter, clock.frequency);
    } else {
      // The source's own due time is a sleep: a simulated counter that
      // advances with sleeps moves on to it at once.
      if (due && (!deadline || *due <= *deadline) &&
          kernel::LetTimePassIfStillInstalled(clock.source, *due - clock.counter)) {
        const std::optional<int64_t> after = kernel::CounterIfStillInstalled(clock.source);
        if (after && *after >= *due) continue;
      }
      if (due || deadline) sleep = kSimulatedRecheckNs;
    }
    waiter.Sleep(sleep);
  }
}

}  // namespace ksv::platform::sync

extern "C" BOOL CloseHandle(HANDLE handle) {
  using ksv::platform::sync::HandleTable;
  HandleTable& table = ksv::platform::sync::Handles();
  std::shared_ptr<ksv::platform::sync::WaitableObject> object;  // released outside the lock
  std::lock_guard guard(table.mutex);
  const auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object = std::move(found->second);
  table.objects.erase(found);
  return TRUE;
}
