#include "platform/media/base/sync.h"

#include <chrono>

void CAMEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  if (manualReset_) {
    changed_.notify_all();
  } else {
    changed_.notify_one();
  }
}

void CAMEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

BOOL CAMEvent::Wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  const auto isSet = [this] { return set_; };
  if (milliseconds == 0) {
    // A poll (a streaming thread checks for commands between samples):
    // no timed wait, which would cost a system call and the timer's slack.
    if (!set_) return FALSE;
  } else if (milliseconds == INFINITE) {
    changed_.wait(lock, isSet);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet)) {
    return FALSE;
  }
  if (!manualReset_) set_ = false;
  return TRUE;
}

CAMThread::~CAMThread() { Close(); }

BOOL CAMThread::Create() {
  CAutoLock lock(&m_AccessLock);
  if (thread_.joinable()) return FALSE;
  thread_ = std::thread([this] { ThreadProc(); });
  return TRUE;
}

DWORD CAMThread::CallWorker(DWORD request) {
  CAutoLock lock(&m_AccessLock);
  if (!thread_.joinable()) return static_cast<DWORD>(E_FAIL);
  {
    std::lock_guard values(valuesMutex_);
    request_ = request;
  }
  requestSent_.Set();
  replied_.Wait();
  std::lock_guard values(valuesMutex_);
  return result_;
}

void CAMThread::Close() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

DWORD CAMThread::GetRequest() {
  requestSent_.Wait();
  std::lock_guard values(valuesMutex_);
  return request_;
}

BOOL CAMThread::CheckRequest(DWORD* request) {
  if (!requestSent_.Check()) return FALSE;
  if (request != nullptr) {
    std::lock_guard values(valuesMutex_);
    *request = request_;
  }
  return TRUE;
}

void CAMThread::Reply(DWORD result) {
  {
    std::lock_guard values(valuesMutex_);
    result_ = result;
  }
  // The request is answered: it is no longer pending for CheckRequest.
  requestSent_.Reset();
  replied_.Set();
}
