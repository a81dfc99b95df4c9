#include "platform/media/filters/positioned_output/positioned_output.h"

#include <algorithm>
#include <cstring>

namespace ksv::media {

bool PositionedOutput::WriteAt(uint64_t offset, const avi::ByteRange* pieces, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const auto* data = static_cast<const uint8_t*>(pieces[i].data);
    if (!Append(offset, data, pieces[i].size)) return false;
    offset += pieces[i].size;
  }
  return true;
}

bool PositionedOutput::Append(uint64_t offset, const uint8_t* data, size_t size) {
  while (size > 0) {
    if (useStream_) return WriteToStream(offset, data, size);
    const bool follows = pending_ != nullptr && offset == pendingStart_ + pendingLength_;
    if (!follows || pendingLength_ == pendingCapacity_) {
      if (!Flush()) return false;
      if (!StartSample(offset)) return useStream_ && WriteToStream(offset, data, size);
    }
    const size_t part = std::min(size, pendingCapacity_ - pendingLength_);
    std::memcpy(pendingBuffer_ + pendingLength_, data, part);
    pendingLength_ += part;
    offset += part;
    data += part;
    size -= part;
  }
  return true;
}

// A delivery buffer for bytes from `offset`; when the sink gives none (its
// allocator was decommitted when it stopped) writes go to its stream.
bool PositionedOutput::StartSample(uint64_t offset) {
  IMediaSample* sample = nullptr;
  const HRESULT got = pin_->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(got) || sample == nullptr || sample->GetSize() <= 0 ||
      FAILED(sample->GetPointer(&pendingBuffer_))) {
    if (sample != nullptr) sample->Release();
    lastError_ = FAILED(got) ? got : E_UNEXPECTED;
    UseStream();
    return false;
  }
  pending_ = sample;
  pendingStart_ = offset;
  pendingLength_ = 0;
  pendingCapacity_ = static_cast<size_t>(sample->GetSize());
  return true;
}

bool PositionedOutput::Flush() {
  if (pending_ == nullptr) return true;
  IMediaSample* sample = pending_;
  pending_ = nullptr;
  bool written = true;
  if (pendingLength_ > 0) {
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(pendingStart_);
    REFERENCE_TIME stop = start + static_cast<REFERENCE_TIME>(pendingLength_);
    sample->SetTime(&start, &stop);
    sample->SetActualDataLength(static_cast<LONG>(pendingLength_));
    sample->SetSyncPoint(TRUE);
    const HRESULT delivered = useStream_ ? S_FALSE : pin_->Deliver(sample);
    if (delivered != S_OK) {
      // Refused: the sink stopped before us. Its stream still takes them.
      if (FAILED(delivered)) lastError_ = delivered;
      written = UseStream() && WriteToStream(pendingStart_, pendingBuffer_, pendingLength_);
    }
  }
  sample->Release();
  pendingBuffer_ = nullptr;
  pendingLength_ = 0;
  return written;
}

bool PositionedOutput::OpenStream() {
  if (stream_ != nullptr) return true;
  IPin* connected = pin_->GetConnected();
  if (connected == nullptr) return false;
  return SUCCEEDED(connected->QueryInterface(IID_PPV_ARGS(&stream_)));
}

bool PositionedOutput::UseStream() {
  if (useStream_) return stream_ != nullptr;
  useStream_ = true;
  if (!OpenStream()) return false;
  // What was gathered goes the same way, before anything written later.
  return Flush();
}

bool PositionedOutput::WriteToStream(uint64_t offset, const uint8_t* data, size_t size) {
  if (stream_ == nullptr) {
    if (lastError_ == S_OK) lastError_ = E_NOINTERFACE;
    return false;
  }
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  HRESULT result = stream_->Seek(position, STREAM_SEEK_SET, nullptr);
  while (SUCCEEDED(result) && size > 0) {
    const ULONG part = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
    ULONG written = 0;
    result = stream_->Write(data, part, &written);
    if (SUCCEEDED(result) && written != part) result = STG_E_MEDIUMFULL;
    data += part;
    size -= part;
  }
  if (FAILED(result)) lastError_ = result;
  return SUCCEEDED(result);
}

HRESULT PositionedOutput::Commit() {
  if (!UseStream()) return FAILED(lastError_) ? lastError_ : E_NOINTERFACE;
  if (!Flush()) return lastError_;
  return stream_->Commit(STGC_DEFAULT);
}

void PositionedOutput::Reset() {
  if (pending_ != nullptr) pending_->Release();
  pending_ = nullptr;
  pendingBuffer_ = nullptr;
  pendingLength_ = 0;
  if (stream_ != nullptr) stream_->Release();
  stream_ = nullptr;
  useStream_ = false;
  lastError_ = S_OK;
}

}  // namespace ksv::media
