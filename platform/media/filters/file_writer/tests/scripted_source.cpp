#include "platform/media/filters/file_writer/tests/scripted_source.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/stream.h"

namespace ksv::media::testing {

namespace {
const CLSID kScriptedSourceClsid = ksv::com::Guid("5B0C6B52-1D0E-4F44-9E57-7A3D2B9E0C11");
constexpr LONG kBufferBytes = 64 * 1024;
}  // namespace

ScriptedPin::ScriptedPin(ScriptedSource* filter, HRESULT* result)
    : CSourceStream("scripted pin", result, filter, u"Output"), source_(filter) {}

HRESULT ScriptedPin::GetMediaType(CMediaType* type) {
  *type = CMediaType(&MEDIATYPE_Stream);
  type->SetSubtype(&MEDIASUBTYPE_Avi);
  type->SetVariableSize();
  return S_OK;
}

HRESULT ScriptedPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 4;
  request->cbBuffer = kBufferBytes;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT ScriptedPin::OnThreadCreate() {
  next_ = 0;
  ended_ = false;
  return S_OK;
}

bool ScriptedPin::WaitUnlessCommanded(const std::atomic<bool>& done) {
  Command command;
  while (!done.load()) {
    if (CheckRequest(&command)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

HRESULT ScriptedPin::FillBuffer(IMediaSample* sample) {
  const Script& script = source_->script();
  sample->SetActualDataLength(0);
  if (next_ < script.chunks.size()) {
    const Chunk& chunk = script.chunks[next_++];
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, chunk.bytes.data(), chunk.bytes.size());
    sample->SetActualDataLength(static_cast<LONG>(chunk.bytes.size()));
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(chunk.offset);
    REFERENCE_TIME stop = start + static_cast<REFERENCE_TIME>(chunk.bytes.size());
    sample->SetTime(&start, &stop);
    source_->CountDelivered();
    return S_OK;
  }
  // An empty sample hands control back to the loop, which sees the command.
  static const std::atomic<bool> never{false};
  if (ended_) {
    WaitUnlessCommanded(never);
    return S_OK;
  }
  if (script.waitForGate && !WaitUnlessCommanded(source_->gate())) return S_OK;
  ended_ = true;
  switch (script.end) {
    case Script::End::kEndOfStream: return S_FALSE;
    case Script::End::kError: return kScriptError;
    case Script::End::kErrorThenHold: m_pFilter->NotifyEvent(EC_ERRORABORT, kScriptError, 0); break;
    case Script::End::kHold: break;
  }
  WaitUnlessCommanded(never);
  return S_OK;
}

ScriptedSource::ScriptedSource(Script script)
    : CSource("scripted source", nullptr, kScriptedSourceClsid), script_(std::move(script)) {
  HRESULT result = S_OK;
  pin_ = new ScriptedPin(this, &result);  // the filter owns its pins
}

HRESULT ScriptedSource::Stop() {
  IPin* peer = pin_->GetConnected();
  if (!IsStopped() && peer != nullptr && (!script_.atStop.empty() || script_.commitAtStop)) {
    com::ComPtr<IStream> stream;
    HRESULT result = peer->QueryInterface(IID_IStream, reinterpret_cast<void**>(stream.GetAddressOf()));
    for (const Chunk& chunk : script_.atStop) {
      if (FAILED(result)) break;
      LARGE_INTEGER to{};
      to.QuadPart = static_cast<LONGLONG>(chunk.offset);
      result = stream->Seek(to, STREAM_SEEK_SET, nullptr);
      ULONG written = 0;
      if (SUCCEEDED(result)) {
        result = stream->Write(chunk.bytes.data(), static_cast<ULONG>(chunk.bytes.size()),
                               &written);
      }
      if (SUCCEEDED(result) && written != chunk.bytes.size()) result = E_FAIL;
    }
    stopWrite_ = result;
    if (script_.commitAtStop) stopCommit_ = SUCCEEDED(result) ? stream->Commit(STGC_DEFAULT) : result;
  }
  return CSource::Stop();
}

}  // namespace ksv::media::testing
