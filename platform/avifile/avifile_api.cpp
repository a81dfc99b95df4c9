// The library, file and stream calls.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/avifile/avi_objects.h"
#include "platform/avifile/file_stream.h"
#include "platform/avifile/write_stream.h"

using namespace ksv::avifile;

namespace {

std::atomic<int> g_initialised{0};

__extension__ using Wide = __int128;

LONG ClampLong(Wide value) {
  return static_cast<LONG>(std::clamp<Wide>(value, INT32_MIN, INT32_MAX));
}

// value * numerator / denominator rounded to the nearest.
LONG MulDivRound(LONG value, Wide numerator, Wide denominator) {
  if (denominator == 0) return 0;
  Wide product = Wide{value} * numerator;
  const Wide half = denominator / 2;
  product += product >= 0 ? half : -half;
  return ClampLong(product / denominator);
}

}  // namespace

IAVIFile::~IAVIFile() {
  for (IAVIStream* stream : streams) Release(stream);
}

LONG IAVIStream::ConvenientCount(LONG start) {
  if (Chunked()) return 1;
  // About a tenth of a second.
  const LONG tenth = info.dwScale == 0 ? 1 : static_cast<LONG>(info.dwRate / info.dwScale / 10);
  return std::min(End() - start, std::max<LONG>(tenth, 1));
}

namespace ksv::avifile {

ULONG Retain(IAVIStream* stream) { return stream == nullptr ? 0 : stream->references.Add(); }

ULONG Release(IAVIStream* stream) {
  if (stream == nullptr) return 0;
  const ULONG left = stream->references.Drop();
  if (left == 0) delete stream;
  return left;
}

LONG SampleToMilliseconds(const AVISTREAMINFOA& info, LONG sample) {
  if (info.dwRate == 0) return 0;
  return MulDivRound(sample, Wide{info.dwScale} * 1000, info.dwRate);
}

LONG MillisecondsToSample(const AVISTREAMINFOA& info, LONG time) {
  if (info.dwScale == 0) return 0;
  return MulDivRound(time, info.dwRate, Wide{info.dwScale} * 1000);
}

void CopyName(char (&target)[64], const std::string& name) {
  std::memset(target, 0, sizeof target);
  std::memcpy(target, name.data(), std::min(name.size(), sizeof target - 1));
}

}  // namespace ksv::avifile

extern "C" {

void AVIFileInit(void) { g_initialised.fetch_add(1); }

void AVIFileExit(void) {
  int count = g_initialised.load();
  while (count > 0 && !g_initialised.compare_exchange_weak(count, count - 1)) {
  }
}

HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* file, UINT mode, CLSID* handler) {
  if (ppfile == nullptr) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (file == nullptr) return AVIERR_BADPARAM;
  if (handler != nullptr) return AVIERR_UNSUPPORTED;
  if ((mode & (OF_WRITE | OF_READWRITE)) != 0) {
    // Only a new file is written; changing a file in place is not done.
    if ((mode & OF_CREATE) == 0) return AVIERR_UNSUPPORTED;
    return OpenForWriting(file, ppfile);
  }
  return OpenForReading(file, ppfile);
}

ULONG AVIFileAddRef(PAVIFILE pfile) {
  return pfile == nullptr ? 0 : pfile->references.Add();
}

ULONG AVIFileRelease(PAVIFILE pfile) {
  if (pfile == nullptr) return 0;
  const ULONG left = pfile->references.Drop();
  if (left == 0) delete pfile;
  return left;
}

HRESULT AVIFileInfoA(PAVIFILE pfile, LPAVIFILEINFOA info, LONG size) {
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (info == nullptr || size < 0) return AVIERR_BADPARAM;
  pfile->info.dwStreams = static_cast<DWORD>(pfile->streams.size());
  std::memcpy(info, &pfile->info, std::min<size_t>(size_t(size), sizeof pfile->info));
  return size < LONG{sizeof(AVIFILEINFOA)} ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppstream, DWORD type, LONG index) {
  if (ppstream == nullptr) return AVIERR_BADPARAM;
  *ppstream = nullptr;
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (index < 0) return AVIERR_NODATA;
  LONG seen = 0;
  for (IAVIStream* stream : pfile->streams) {
    if (type != 0 && stream->info.fccType != type) continue;
    if (seen++ != index) continue;
    Retain(stream);
    *ppstream = stream;
    return AVIERR_OK;
  }
  return AVIERR_NODATA;
}

ULONG AVIStreamAddRef(PAVISTREAM pstream) { return ksv::avifile::Retain(pstream); }

ULONG AVIStreamRelease(PAVISTREAM pstream) { return ksv::avifile::Release(pstream); }

HRESULT AVIStreamInfoA(PAVISTREAM pstream, LPAVISTREAMINFOA info, LONG size) {
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  if (info == nullptr || size < 0) return AVIERR_BADPARAM;
  std::memcpy(info, &pstream->info, std::min<size_t>(size_t(size), sizeof pstream->info));
  return size < LONG{sizeof(AVISTREAMINFOA)} ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AVIStreamReadFormat(PAVISTREAM pstream, LONG, LPVOID format, LONG* formatSize) {
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  if (formatSize == nullptr) return AVIERR_BADPARAM;
  const auto stored = static_cast<LONG>(pstream->format.size());
  if (format == nullptr) {
    *formatSize = stored;
    return AVIERR_OK;
  }
  if (*formatSize < 0) return AVIERR_BADPARAM;
  const LONG copied = std::min(*formatSize, stored);
  std::memcpy(format, pstream->format.data(), size_t(copied));
  *formatSize = copied;
  return copied < stored ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AVIStreamRead(PAVISTREAM pstream, LONG start, LONG samples, LPVOID buffer,
                      LONG bufferSize, LONG* bytesRead, LONG* samplesRead) {
  if (bytesRead) *bytesRead = 0;
  if (samplesRead) *samplesRead = 0;
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  if (start < pstream->Start() || start >= pstream->End()) return AVIERR_BADPARAM;
  if (samples == AVISTREAMREAD_CONVENIENT) samples = pstream->ConvenientCount(start);
  if (samples < 0 || (buffer != nullptr && bufferSize < 0)) return AVIERR_BADPARAM;
  samples = std::min(samples, pstream->End() - start);
  if (pstream->Chunked()) samples = std::min<LONG>(samples, 1);
  if (samples == 0) return AVIERR_OK;
  if (buffer != nullptr && !pstream->Chunked()) {
    // As many whole samples as fit.
    samples = std::min<LONG>(samples, bufferSize / LONG(pstream->info.dwSampleSize));
    if (samples == 0) {
      if (bytesRead) *bytesRead = LONG(pstream->info.dwSampleSize);
      return AVIERR_BUFFERTOOSMALL;
    }
  }
  LONG bytes = 0;
  HRESULT result = pstream->DataSize(start, samples, &bytes);
  if (result != AVIERR_OK) return result;
  if (buffer != nullptr) {
    if (bytes > bufferSize) {
      if (bytesRead) *bytesRead = bytes;
      return AVIERR_BUFFERTOOSMALL;
    }
    result = pstream->ReadData(start, samples, static_cast<uint8_t*>(buffer));
    if (result != AVIERR_OK) return result;
  }
  if (bytesRead) *bytesRead = bytes;
  if (samplesRead) *samplesRead = samples;
  return AVIERR_OK;
}

LONG AVIStreamStart(PAVISTREAM pstream) { return pstream == nullptr ? -1 : pstream->Start(); }

LONG AVIStreamLength(PAVISTREAM pstream) {
  return pstream == nullptr ? -1 : static_cast<LONG>(pstream->info.dwLength);
}

LONG AVIStreamFindSample(PAVISTREAM pstream, LONG pos, LONG flags) {
  if (pstream == nullptr || pstream->info.dwLength == 0) return -1;
  const LONG first = pstream->Start(), end = pstream->End();
  const bool backwards = (flags & FIND_PREV) != 0;
  if (backwards) {
    if (pos < first) return -1;
    pos = std::min(pos, end - 1);
  } else {
    if (pos >= end) return -1;
    pos = std::max(pos, first);
  }
  const LONG type = flags & FIND_TYPE;
  LONG found = -1;
  if (type == FIND_FORMAT) {
    // One format for the whole stream: it changes only at the start.
    found = backwards || pos == first ? first : -1;
  } else if (type == FIND_KEY) {
    for (LONG at = pos; at >= first && at < end; at += backwards ? -1 : 1) {
      if (pstream->IsKey(at)) {
        found = at;
        break;
      }
    }
  } else {
    found = pos;
  }
  if (found < 0) return -1;
  switch (flags & FIND_RET) {
    case FIND_POS:
      return found;
    case FIND_SIZE: {
      LONG bytes = 0;
      return pstream->DataSize(found, 1, &bytes) == AVIERR_OK ? bytes : -1;
    }
    case FIND_LENGTH:
      return pstream->Chunked() ? 1 : pstream->ConvenientCount(found);
    default:
      return -1;
  }
}

LONG AVIStreamSampleToTime(PAVISTREAM pstream, LONG sample) {
  return pstream == nullptr ? -1 : SampleToMilliseconds(pstream->info, sample);
}

LONG AVIStreamTimeToSample(PAVISTREAM pstream, LONG time) {
  return pstream == nullptr ? -1 : MillisecondsToSample(pstream->info, time);
}

}  // extern "C"
