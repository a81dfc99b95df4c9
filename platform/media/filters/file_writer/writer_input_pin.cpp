// The File writer's input pin: samples and end of stream from upstream, and
// the IStream an upstream filter writes through while the graph stops.
#include "platform/media/filters/file_writer/file_writer.h"

namespace ksv::media::filters {

FileWriterInputPin::FileWriterInputPin(FileWriter* filter, CCritSec* lock)
    : CBaseInputPin("File writer input", filter, lock, nullptr, u"in"), writer_(filter) {}

HRESULT FileWriterInputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IStream || iid == IID_ISequentialStream) {
    return GetInterface(static_cast<IStream*>(this), object);
  }
  return CBaseInputPin::NonDelegatingQueryInterface(iid, object);
}

HRESULT FileWriterInputPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FileWriterInputPin::Active() {
  const HRESULT result = CBaseInputPin::Active();
  if (FAILED(result)) return result;
  return writer_->StartFile();
}

HRESULT FileWriterInputPin::BreakConnect() {
  writer_->DiscardFile();
  return CBaseInputPin::BreakConnect();
}

HRESULT FileWriterInputPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  return writer_->WriteSample(sample);
}

HRESULT FileWriterInputPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  return writer_->FinishAtEndOfStream();
}

// ---- IStream

HRESULT FileWriterInputPin::Read(void* /*buffer*/, ULONG /*size*/, ULONG* read) {
  if (read != nullptr) *read = 0;
  return E_NOTIMPL;
}

HRESULT FileWriterInputPin::Write(const void* buffer, ULONG size, ULONG* written) {
  return writer_->WriteStream(buffer, size, written);
}

HRESULT FileWriterInputPin::Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* newPosition) {
  return writer_->SeekStream(move.QuadPart, origin, newPosition);
}

HRESULT FileWriterInputPin::Commit(DWORD /*flags*/) { return writer_->CommitStream(); }

HRESULT FileWriterInputPin::SetSize(ULARGE_INTEGER /*size*/) { return E_NOTIMPL; }

HRESULT FileWriterInputPin::CopyTo(IStream* /*target*/, ULARGE_INTEGER /*size*/,
                                   ULARGE_INTEGER* /*read*/, ULARGE_INTEGER* /*written*/) {
  return E_NOTIMPL;
}

HRESULT FileWriterInputPin::Revert() { return E_NOTIMPL; }

HRESULT FileWriterInputPin::LockRegion(ULARGE_INTEGER /*offset*/, ULARGE_INTEGER /*size*/,
                                       DWORD /*type*/) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT FileWriterInputPin::UnlockRegion(ULARGE_INTEGER /*offset*/, ULARGE_INTEGER /*size*/,
                                         DWORD /*type*/) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT FileWriterInputPin::Stat(STATSTG* /*stat*/, DWORD /*flags*/) { return E_NOTIMPL; }

HRESULT FileWriterInputPin::Clone(IStream** copy) {
  if (copy != nullptr) *copy = nullptr;
  return E_NOTIMPL;
}

}  // namespace ksv::media::filters
