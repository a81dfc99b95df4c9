#include "platform/media/filters/file_writer/file_writer.h"

#include <cstring>

#include "platform/com/com_ptr.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"

namespace ksv::media::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kStreamType = {&MEDIATYPE_Stream, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kStreamType},
};

}  // namespace

const AMOVIESETUP_FILTER kFileWriterSetup = {&CLSID_FileWriter, u"File writer", MERIT_DO_NOT_USE,
                                             1, kPins};

FileWriter::FileWriter()
    : CBaseFilter("File writer", nullptr, &lock_, CLSID_FileWriter), pin_(this, &lock_) {}

FileWriter::~FileWriter() = default;  // the pending file is discarded with file_

CUnknown* FileWriter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new FileWriter();
}

HRESULT FileWriter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IFileSinkFilter || iid == IID_IFileSinkFilter2) {
    return GetInterface(static_cast<IFileSinkFilter2*>(this), object);
  }
  return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

const AMOVIESETUP_FILTER* FileWriter::GetSetupData() { return &kFileWriterSetup; }

// ---- IFileSinkFilter2

HRESULT FileWriter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  const std::u16string name(fileName);
  if (name.empty()) return E_INVALIDARG;
  CAutoLock guard(&lock_);
  if (!IsStopped()) return VFW_E_WRONG_STATE;
  fileName_ = name;
  if (type != nullptr) {
    fileType_ = *type;
  } else {
    fileType_ = CMediaType();
    fileType_.SetType(&GUID_NULL);
  }
  return S_OK;
}

HRESULT FileWriter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  *fileName = nullptr;
  CAutoLock guard(&lock_);
  if (type != nullptr) {
    *type = AM_MEDIA_TYPE{};
    if (!fileName_.empty()) {
      const HRESULT result = CopyMediaType(type, &fileType_);
      if (FAILED(result)) return result;
    }
  }
  if (fileName_.empty()) return S_OK;  // no file: a null name, as documented
  const size_t bytes = (fileName_.size() + 1) * sizeof(char16_t);
  *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (*fileName == nullptr) {
    if (type != nullptr) FreeMediaType(*type);
    return E_OUTOFMEMORY;
  }
  std::memcpy(*fileName, fileName_.c_str(), bytes);
  return S_OK;
}

HRESULT FileWriter::SetMode(DWORD flags) {
  if ((flags & ~AM_FILE_OVERWRITE) != 0) return E_INVALIDARG;
  CAutoLock guard(&lock_);
  mode_ = flags;
  return S_OK;
}

HRESULT FileWriter::GetMode(DWORD* flags) {
  if (flags == nullptr) return E_POINTER;
  CAutoLock guard(&lock_);
  *flags = mode_;
  return S_OK;
}

// ---- Writing

HRESULT FileWriter::StartFile() {
  std::string target;
  {
    CAutoLock guard(&lock_);
    if (fileName_.empty()) return E_FAIL;  // nowhere to write
    target = com::Utf16ToUtf8(fileName_);
  }
  std::lock_guard guard(writeMutex_);
  // A file of an earlier run that nobody committed goes now.
  file_.Discard();
  failure_ = S_OK;
  nextOffset_ = 0;
  streamPosition_ = 0;
  outcome_ = file_.Open(target);
  return outcome_;
}

HRESULT FileWriter::FailLocked(HRESULT error) {
  failure_ = error;
  outcome_ = error;
  file_.Discard();
  return error;
}

HRESULT FileWriter::WriteSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  HRESULT result = sample->GetPointer(&data);
  if (FAILED(result)) return result;
  const LONG length = sample->GetActualDataLength();
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const bool positioned = SUCCEEDED(sample->GetTime(&start, &stop));
  {
    std::lock_guard guard(writeMutex_);
    if (!file_.IsOpen()) return FAILED(failure_) ? failure_ : VFW_E_WRONG_STATE;
    if (positioned && start < 0) {
      result = FailLocked(E_INVALIDARG);
    } else {
      const uint64_t offset = positioned ? static_cast<uint64_t>(start) : nextOffset_;
      result = file_.WriteAt(offset, data, static_cast<size_t>(length > 0 ? length : 0));
      if (FAILED(result)) {
        FailLocked(result);
      } else {
        nextOffset_ = offset + static_cast<uint64_t>(length > 0 ? length : 0);
      }
    }
  }
  if (FAILED(result)) NotifyEvent(EC_ERRORABORT, result, 0);
  return result;
}

HRESULT FileWriter::GraphStreamError() {
  IFilterGraph* graph = GetFilterGraph();
  if (graph == nullptr) return S_OK;
  com::ComPtr<IGraphStreamErrors> errors;
  if (FAILED(graph->QueryInterface(IID_IGraphStreamErrors,
                                   reinterpret_cast<void**>(errors.GetAddressOf())))) {
    return S_OK;
  }
  HRESULT error = S_OK;
  return errors->GetFirstStreamError(&error) == S_OK && FAILED(error) ? error : S_OK;
}

HRESULT FileWriter::FinishLocked() {
  if (!file_.IsOpen()) return outcome_;
  const HRESULT error = GraphStreamError();
  if (FAILED(error)) {
    file_.Discard();
    outcome_ = error;
    return error;
  }
  outcome_ = file_.Commit();
  if (FAILED(outcome_)) failure_ = outcome_;
  return outcome_;
}

HRESULT FileWriter::FinishAtEndOfStream() {
  HRESULT result = S_OK;
  bool ownFailure = false;
  {
    std::lock_guard guard(writeMutex_);
    const bool wasOpen = file_.IsOpen();
    result = FinishLocked();
    // A commit that failed here is news; a write error was notified already
    // and an upstream error by whoever had it.
    ownFailure = wasOpen && FAILED(result) && result == failure_;
  }
  if (ownFailure) NotifyEvent(EC_ERRORABORT, result, 0);
  NotifyEvent(EC_COMPLETE, SUCCEEDED(result) ? S_OK : result, 0);
  return S_OK;
}

HRESULT FileWriter::WriteStream(const void* buffer, ULONG size, ULONG* written) {
  if (written != nullptr) *written = 0;
  if (buffer == nullptr && size > 0) return STG_E_INVALIDPOINTER;
  HRESULT result = S_OK;
  {
    std::lock_guard guard(writeMutex_);
    if (!file_.IsOpen()) return FAILED(failure_) ? failure_ : STG_E_REVERTED;
    result = file_.WriteAt(streamPosition_, buffer, size);
    if (FAILED(result)) {
      FailLocked(result);
    } else {
      streamPosition_ += size;
      if (written != nullptr) *written = size;
    }
  }
  if (FAILED(result)) {
    NotifyEvent(EC_ERRORABORT, result, 0);
    // Storage's own code for a full disk.
    if (result == HRESULT_FROM_WIN32(ERROR_DISK_FULL)) return STG_E_MEDIUMFULL;
  }
  return result;
}

HRESULT FileWriter::SeekStream(LONGLONG move, DWORD origin, ULARGE_INTEGER* newPosition) {
  std::lock_guard guard(writeMutex_);
  LONGLONG base = 0;
  switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(streamPosition_); break;
    case STREAM_SEEK_END: base = static_cast<LONGLONG>(file_.Size()); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  if (move < 0 && base + move < 0) return STG_E_INVALIDFUNCTION;
  streamPosition_ = static_cast<uint64_t>(base + move);
  if (newPosition != nullptr) newPosition->QuadPart = streamPosition_;
  return S_OK;
}

HRESULT FileWriter::CommitStream() {
  std::lock_guard guard(writeMutex_);
  return FinishLocked();
}

void FileWriter::DiscardFile() {
  std::lock_guard guard(writeMutex_);
  if (file_.IsOpen()) outcome_ = E_ABORT;
  file_.Discard();
}

}  // namespace ksv::media::filters
