#include "resampler/converter_pins.h"

#include <cstring>
#include <new>

#include "platform/com/com_method.h"
#include "platform/com/task_memory.h"
#include "resampler/converter_filter.h"

namespace ksv::resampler {
namespace {

HRESULT CopyId(const char16_t* text, LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  const size_t length = std::char_traits<char16_t>::length(text);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*id, text, (length + 1) * sizeof(WCHAR));
  return S_OK;
}

// The cutting allocator's buffers: 300 ms of input, at least one.
LONG CuttingBufferCount(size_t blockBytes, int64_t bytesPerSecond) {
  const int64_t count = bytesPerSecond / static_cast<int64_t>(blockBytes) * 300 / 1000;
  return static_cast<LONG>(std::max<int64_t>(count, 1));
}

}  // namespace

ReblockingInputPin::ReblockingInputPin(SampleRateConverterFilter* filter, HRESULT* result)
    : CTransformInputPin("converter input", filter, result, u"Input"), converter_(filter) {
  CUnknown* created = CMemAllocator::CreateInstance(nullptr, result);
  if (created == nullptr) {
    if (result != nullptr && SUCCEEDED(*result)) *result = E_OUTOFMEMORY;
    return;
  }
  created->NonDelegatingAddRef();
  const HRESULT asked = created->NonDelegatingQueryInterface(
      IID_IMemAllocator, reinterpret_cast<void**>(&cuttingAllocator_));
  created->NonDelegatingRelease();
  if (FAILED(asked) && result != nullptr) *result = asked;
}

ReblockingInputPin::~ReblockingInputPin() {
  if (cuttingAllocator_ != nullptr) cuttingAllocator_->Release();
}

HRESULT ReblockingInputPin::QueryId(LPWSTR* id) { return CopyId(u"In", id); }

LONG ReblockingInputPin::UpstreamBufferBytes() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(m_pLock);
    ALLOCATOR_PROPERTIES properties{};
    if (m_pAllocator == nullptr || FAILED(m_pAllocator->GetProperties(&properties))) return 0;
    return properties.cbBuffer;
  });
}

HRESULT ReblockingInputPin::Active() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    HRESULT result = CTransformInputPin::Active();
    if (FAILED(result)) return result;
    size_t blockBytes = 0;
    int64_t bytesPerSecond = 0;
    if (!converter_->BlockLayout(&blockBytes, &bytesPerSecond)) return S_OK;  // no output yet
    {
      std::lock_guard<std::mutex> stream(streamLock_);
      cutter_.Reset(blockBytes, bytesPerSecond);
    }
    ALLOCATOR_PROPERTIES request{};
    request.cBuffers = CuttingBufferCount(blockBytes, bytesPerSecond);
    request.cbBuffer = static_cast<LONG>(blockBytes);
    request.cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    result = cuttingAllocator_->SetProperties(&request, &actual);
    if (FAILED(result)) return result;
    if (actual.cbBuffer < request.cbBuffer) return E_FAIL;
    return cuttingAllocator_->Commit();
  });
}

HRESULT ReblockingInputPin::Inactive() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    // Frees a pass waiting for a buffer before the base waits for it.
    cuttingAllocator_->Decommit();
    {
      std::lock_guard<std::mutex> stream(streamLock_);
      cutter_.Clear();
    }
    return CTransformInputPin::Inactive();
  });
}

HRESULT ReblockingInputPin::Receive(IMediaSample* sample) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (sample == nullptr) return E_POINTER;
    HRESULT result;
    {
      CAutoLock receiving(converter_->ReceiveLock());
      result = CBaseInputPin::Receive(sample);
    }
    if (result != S_OK) return result;
    return CutAndSend(sample);
  });
}

HRESULT ReblockingInputPin::CutAndSend(IMediaSample* sample) {
  size_t blockBytes = 0;
  int64_t bytesPerSecond = 0;
  if (!converter_->BlockLayout(&blockBytes, &bytesPerSecond)) return VFW_E_NOT_CONNECTED;
  const uint64_t flushesAtStart = flushes_.load();

  std::span<const uint8_t> bytes;
  std::optional<int64_t> start;
  if (sample != nullptr) {
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || data == nullptr || length < 0 ||
        length > sample->GetSize()) {
      return E_POINTER;
    }
    bytes = {data, static_cast<size_t>(length)};
    REFERENCE_TIME begin = 0, end = 0;
    const HRESULT timed = sample->GetTime(&begin, &end);
    if (timed == S_OK || timed == VFW_S_NO_STOP_TIME) start = begin;
  }

  std::unique_lock<std::mutex> stream(streamLock_);
  if (cutter_.BlockBytes() != blockBytes) cutter_.Reset(blockBytes, bytesPerSecond);
  if (sample != nullptr && bytes.size() == blockBytes && cutter_.Empty()) {
    // Already a block: no copy.
    stream.unlock();
    return converter_->Receive(sample);
  }
  size_t offset = 0;
  for (;;) {
    if (flushes_.load() != flushesAtStart) return E_ABORT;
    bool whole = false;
    if (sample != nullptr) {
      whole = cutter_.Fill(bytes, &offset, start);
    } else {
      const size_t real = cutter_.Pending();
      whole = cutter_.PadLast();
      if (whole) converter_->EndNextBlockAfter(real);
    }
    if (!whole) return S_OK;
    // The block is copied out before the lock goes, so a flush meanwhile
    // cannot change what is sent.
    IMediaSample* block = nullptr;
    stream.unlock();
    HRESULT result = cuttingAllocator_->GetBuffer(&block, nullptr, nullptr, 0);
    stream.lock();
    if (FAILED(result)) return result;
    if (flushes_.load() != flushesAtStart) {
      block->Release();
      return E_ABORT;
    }
    BYTE* target = nullptr;
    block->GetPointer(&target);
    std::memcpy(target, cutter_.Block().data(), blockBytes);
    const std::optional<int64_t> blockStart = cutter_.BlockStart();
    stream.unlock();
    result = SendBlock({target, blockBytes}, blockStart, block);
    block->Release();
    if (result != S_OK) return result;
    stream.lock();
    if (bytes.empty()) return S_OK;  // the padded last block went
  }
}

HRESULT ReblockingInputPin::SendBlock(std::span<const uint8_t> block,
                                      std::optional<int64_t> start, IMediaSample* sample) {
  sample->SetActualDataLength(static_cast<LONG>(block.size()));
  if (start) {
    REFERENCE_TIME begin = *start;
    sample->SetTime(&begin, nullptr);
  } else {
    sample->SetTime(nullptr, nullptr);
  }
  sample->SetSyncPoint(TRUE);
  return converter_->Receive(sample);
}

HRESULT ReblockingInputPin::EndOfStream() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    HRESULT result;
    {
      CAutoLock receiving(converter_->ReceiveLock());
      result = CBaseInputPin::EndOfStream();
    }
    if (result != S_OK) return result;
    result = CutAndSend(nullptr);
    if (FAILED(result) && result != E_ABORT && result != VFW_E_NOT_CONNECTED) {
      // The stream's end still goes downstream, so the graph completes.
      converter_->NotifyEvent(EC_ERRORABORT, result, 0);
    }
    return converter_->EndOfStream();
  });
}

HRESULT ReblockingInputPin::BeginFlush() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    ++flushes_;
    {
      std::lock_guard<std::mutex> stream(streamLock_);
      cutter_.Clear();
    }
    return CTransformInputPin::BeginFlush();
  });
}

HRESULT ReblockingInputPin::EndFlush() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    {
      std::lock_guard<std::mutex> stream(streamLock_);
      cutter_.Clear();
    }
    return CTransformInputPin::EndFlush();
  });
}

StreamingOutputPin::StreamingOutputPin(SampleRateConverterFilter* filter, HRESULT* result)
    : CTransformOutputPin("converter output", filter, result, u"Output"), converter_(filter) {}

HRESULT StreamingOutputPin::QueryId(LPWSTR* id) { return CopyId(u"Out", id); }

HRESULT StreamingOutputPin::Active() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    return ksv::com::ComMethod([&]() -> HRESULT {
      const HRESULT result = CTransformOutputPin::Active();
      if (SUCCEEDED(result)) converter_->OutputStreaming(true);
      return result;
    });
  });
}

HRESULT StreamingOutputPin::Inactive() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    const HRESULT result = CTransformOutputPin::Inactive();
    converter_->OutputStreaming(false);
    return result;
  });
}

}  // namespace ksv::resampler
