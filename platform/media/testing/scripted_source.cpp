#include "platform/media/testing/scripted_source.h"

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

ScriptedSource::ScriptedSource(Script script)
    : HarnessSource("scripted source", kScriptedSourceClsid, u"Output", -1),
      script_(std::move(script)) {
  bufferSize = kBufferBytes;
}

CMediaType ScriptedSource::StreamType() {
  CMediaType type(&MEDIATYPE_Stream);
  type.SetSubtype(&MEDIASUBTYPE_Avi);
  type.SetVariableSize();
  return type;
}

bool ScriptedSource::WaitUnlessCommanded(const std::atomic<bool>& done) {
  while (!done.load()) {
    if (pin().CommandWaiting()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

HRESULT ScriptedSource::Fill(IMediaSample* sample, int64_t index) {
  sample->SetActualDataLength(0);
  // Every sample sent so far was a chunk until the script's end.
  if (static_cast<uint64_t>(index) < script_.chunks.size()) {
    const Chunk& chunk = script_.chunks[static_cast<size_t>(index)];
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, chunk.bytes.data(), chunk.bytes.size());
    sample->SetActualDataLength(static_cast<LONG>(chunk.bytes.size()));
    REFERENCE_TIME start = static_cast<REFERENCE_TIME>(chunk.offset);
    REFERENCE_TIME stop = start + static_cast<REFERENCE_TIME>(chunk.bytes.size());
    sample->SetTime(&start, &stop);
    ++delivered_;
    return S_OK;
  }
  // An empty sample hands control back to the loop, which sees the command.
  static const std::atomic<bool> never{false};
  if (ended_) {
    WaitUnlessCommanded(never);
    return S_OK;
  }
  if (script_.waitForGate && !WaitUnlessCommanded(gate_)) return S_OK;
  ended_ = true;
  switch (script_.end) {
    case Script::End::kEndOfStream: return S_FALSE;
    case Script::End::kError: return kScriptError;
    case Script::End::kErrorThenHold:
      NotifyEvent(EC_ERRORABORT, kScriptError, 0);
      break;
    case Script::End::kHold: break;
  }
  WaitUnlessCommanded(never);
  return S_OK;
}

HRESULT ScriptedSource::Stop() {
  IPin* peer = pin().GetConnected();
  if (!IsStopped() && peer != nullptr && (!script_.atStop.empty() || script_.commitAtStop)) {
    com::ComPtr<IStream> stream;
    HRESULT result =
        peer->QueryInterface(IID_IStream, reinterpret_cast<void**>(stream.GetAddressOf()));
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
    if (script_.commitAtStop) {
      stopCommit_ = SUCCEEDED(result) ? stream->Commit(STGC_DEFAULT) : result;
    }
  }
  return HarnessSource::Stop();
}

}  // namespace ksv::media::testing
