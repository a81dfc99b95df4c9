#include "platform/media/filters/file_source/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_errors.h"
#include "platform/media/filters/file_source/stream_sniff.h"

namespace ksv::media::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kStreamType = {&MEDIATYPE_Stream, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kStreamType},
};

}  // namespace

const AMOVIESETUP_FILTER kFileSourceSetup = {&CLSID_AsyncReader, u"File Source (Async.)",
                                             MERIT_UNLIKELY, 1, kPins};

FileSource::FileSource()
    : CBaseFilter("File Source (Async.)", nullptr, &lock_, CLSID_AsyncReader),
      pin_(this, &lock_, nullptr) {}

FileSource::~FileSource() {
  if (fd_ >= 0) close(fd_);
}

CUnknown* FileSource::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new FileSource();
}

HRESULT FileSource::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IFileSourceFilter) {
    return GetInterface(static_cast<IFileSourceFilter*>(this), object);
  }
  return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

const AMOVIESETUP_FILTER* FileSource::GetSetupData() { return &kFileSourceSetup; }

int FileSource::GetPinCount() {
  CAutoLock guard(&lock_);
  return fd_ >= 0 ? 1 : 0;
}

CBasePin* FileSource::GetPin(int index) {
  CAutoLock guard(&lock_);
  return fd_ >= 0 && index == 0 ? &pin_ : nullptr;
}

HRESULT FileSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  const std::u16string name(fileName);
  if (name.empty()) return E_INVALIDARG;
  CAutoLock guard(&lock_);
  if (pin_.IsConnected()) return VFW_E_ALREADY_CONNECTED;
  const std::string path = com::Utf16ToUtf8(name);
  // Non-blocking, and only a regular file: a pipe or a device would block
  // every read for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return HresultFromErrno(errno);
  struct stat status{};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : S_ISREG(status.st_mode) ? errno : EINVAL;
    close(fd);
    return HresultFromErrno(error);
  }
  CMediaType chosen(&MEDIATYPE_Stream);
  chosen.SetVariableSize();
  chosen.SetFormatType(&FORMAT_None);
  if (type != nullptr) {
    chosen.SetType(&type->majortype);
    chosen.SetSubtype(&type->subtype);
  } else {
    uint8_t head[kSniffBytes] = {};
    const ssize_t got = pread(fd, head, sizeof(head), 0);
    const GUID subtype = SniffStreamSubtype(head, got > 0 ? static_cast<size_t>(got) : 0);
    chosen.SetSubtype(&subtype);
  }
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  fileName_ = name;
  type_ = chosen;
  IncrementPinVersion();
  return S_OK;
}

HRESULT FileSource::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  *fileName = nullptr;
  CAutoLock guard(&lock_);
  if (type != nullptr) {
    *type = AM_MEDIA_TYPE{};
    if (fd_ >= 0) {
      const HRESULT result = CopyMediaType(type, &type_);
      if (FAILED(result)) return result;
    }
  }
  if (fd_ < 0) return S_OK;  // no file: S_OK and a null name, as documented
  const size_t bytes = (fileName_.size() + 1) * sizeof(char16_t);
  *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (*fileName == nullptr) {
    if (type != nullptr) FreeMediaType(*type);
    return E_OUTOFMEMORY;
  }
  std::memcpy(*fileName, fileName_.c_str(), bytes);
  return S_OK;
}

}  // namespace ksv::media::filters
