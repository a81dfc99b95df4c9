#include "platform/media/filters/file_source/async_reader_pin.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <sys/stat.h>

#include "platform/media/filters/file_errors.h"
#include "platform/media/filters/file_source/file_source.h"

namespace ksv::media::filters {

namespace {

// Reads up to `size` bytes at `offset`, on past short reads; the count read
// (less at the end of the file) or -errno.
int64_t ReadFully(int fd, int64_t offset, BYTE* buffer, int64_t size) {
  int64_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, buffer + done, static_cast<size_t>(size - done), offset + done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace

AsyncReaderPin::AsyncReaderPin(FileSource* filter, CCritSec* lock, HRESULT* result)
    : CBasePin("File Source output", filter, lock, result, u"Output", PINDIR_OUTPUT),
      source_(filter) {}

AsyncReaderPin::~AsyncReaderPin() = default;

HRESULT AsyncReaderPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAsyncReader) return GetInterface(static_cast<IAsyncReader*>(this), object);
  return CBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT AsyncReaderPin::CheckConnect(IPin* pin) {
  const HRESULT result = CBasePin::CheckConnect(pin);
  if (FAILED(result)) return result;
  IMemInputPin* pushed = nullptr;
  if (SUCCEEDED(pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&pushed))) &&
      pushed != nullptr) {
    pushed->Release();
    return VFW_E_NO_TRANSPORT;
  }
  return S_OK;
}

HRESULT AsyncReaderPin::CheckMediaType(const CMediaType* type) {
  if (source_->Descriptor() < 0) return VFW_E_NOT_CONNECTED;
  const CMediaType& ours = source_->StreamType();
  return *type->Type() == *ours.Type() && *type->Subtype() == *ours.Subtype()
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AsyncReaderPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (source_->Descriptor() < 0 || position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = source_->StreamType();
  return S_OK;
}

HRESULT AsyncReaderPin::RequestAllocator(IMemAllocator* preferred,
                                         ALLOCATOR_PROPERTIES* properties,
                                         IMemAllocator** actual) {
  if (properties == nullptr || actual == nullptr) return E_POINTER;
  *actual = nullptr;
  ALLOCATOR_PROPERTIES wanted = *properties;
  if (wanted.cbAlign <= 0) wanted.cbAlign = 1;
  ALLOCATOR_PROPERTIES granted{};
  if (preferred != nullptr && SUCCEEDED(preferred->SetProperties(&wanted, &granted))) {
    preferred->AddRef();
    *actual = preferred;
    return S_OK;
  }
  HRESULT result = S_OK;
  CUnknown* created = CMemAllocator::CreateInstance(nullptr, &result);
  if (created == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
  IMemAllocator* allocator = nullptr;
  created->NonDelegatingAddRef();
  result = created->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                reinterpret_cast<void**>(&allocator));
  created->NonDelegatingRelease();
  if (FAILED(result)) return result;
  result = allocator->SetProperties(&wanted, &granted);
  if (FAILED(result)) {
    allocator->Release();
    return result;
  }
  *actual = allocator;
  return S_OK;
}

HRESULT AsyncReaderPin::ReadIntoSample(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  HRESULT result = sample->GetTime(&start, &stop);
  if (FAILED(result)) return result;
  const LONGLONG position = start / UNITS;
  const LONGLONG length = stop / UNITS - position;
  if (position < 0 || length < 0) return E_INVALIDARG;
  if (length > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
  BYTE* buffer = nullptr;
  result = sample->GetPointer(&buffer);
  if (FAILED(result)) return result;
  const int64_t got = ReadFully(source_->Descriptor(), position, buffer, length);
  if (got < 0) return HresultFromErrno(static_cast<int>(-got));
  sample->SetActualDataLength(static_cast<LONG>(got));
  if (got == length) return S_OK;
  REFERENCE_TIME end = (position + got) * UNITS;
  sample->SetTime(&start, &end);
  return S_FALSE;
}

HRESULT AsyncReaderPin::Request(IMediaSample* sample, ULONG_PTR user) {
  if (sample == nullptr) return E_POINTER;
  if (source_->Descriptor() < 0) return VFW_E_NOT_CONNECTED;
  {
    std::lock_guard guard(queueMutex_);
    if (flushing_) return VFW_E_WRONG_STATE;
  }
  const HRESULT result = ReadIntoSample(sample);
  // A request refused up front is not queued; a failed read comes back
  // from WaitForNext with its error.
  if (result == E_POINTER || result == E_INVALIDARG || result == VFW_E_BUFFER_OVERFLOW ||
      result == VFW_E_SAMPLE_TIME_NOT_SET) {
    return result;
  }
  {
    std::lock_guard guard(queueMutex_);
    completed_.push_back({sample, user, result});
  }
  queueChanged_.notify_one();
  return S_OK;
}

HRESULT AsyncReaderPin::WaitForNext(DWORD milliseconds, IMediaSample** sample, ULONG_PTR* user) {
  if (sample == nullptr || user == nullptr) return E_POINTER;
  *sample = nullptr;
  *user = 0;
  std::unique_lock guard(queueMutex_);
  const auto ready = [this] { return flushing_ || !completed_.empty(); };
  if (milliseconds == INFINITE) {
    queueChanged_.wait(guard, ready);
  } else if (!queueChanged_.wait_for(guard, std::chrono::milliseconds(milliseconds), ready)) {
    return VFW_E_TIMEOUT;
  }
  if (!completed_.empty()) {
    const Completed done = completed_.front();
    completed_.pop_front();
    *sample = done.sample;
    *user = done.user;
    return flushing_ ? VFW_E_WRONG_STATE : done.result;
  }
  return VFW_E_WRONG_STATE;
}

HRESULT AsyncReaderPin::SyncReadAligned(IMediaSample* sample) {
  if (source_->Descriptor() < 0) return VFW_E_NOT_CONNECTED;
  return ReadIntoSample(sample);
}

HRESULT AsyncReaderPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
  if (buffer == nullptr && length > 0) return E_POINTER;
  if (position < 0 || length < 0) return E_INVALIDARG;
  const int fd = source_->Descriptor();
  if (fd < 0) return VFW_E_NOT_CONNECTED;
  const int64_t got = ReadFully(fd, position, buffer, length);
  if (got < 0) return HresultFromErrno(static_cast<int>(-got));
  return got == length ? S_OK : S_FALSE;
}

HRESULT AsyncReaderPin::Length(LONGLONG* total, LONGLONG* available) {
  if (total == nullptr || available == nullptr) return E_POINTER;
  const int fd = source_->Descriptor();
  if (fd < 0) return VFW_E_NOT_CONNECTED;
  struct stat status{};
  if (fstat(fd, &status) != 0) return HresultFromErrno(errno);
  *total = status.st_size;
  *available = status.st_size;
  return S_OK;
}

HRESULT AsyncReaderPin::BeginFlush() {
  {
    std::lock_guard guard(queueMutex_);
    flushing_ = true;
  }
  queueChanged_.notify_all();
  return S_OK;
}

HRESULT AsyncReaderPin::EndFlush() {
  std::lock_guard guard(queueMutex_);
  flushing_ = false;
  return S_OK;
}

}  // namespace ksv::media::filters
