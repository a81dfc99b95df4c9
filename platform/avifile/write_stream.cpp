#include "platform/avifile/write_stream.h"

#include <cstring>

#include "platform/avifile/avi_save.h"

namespace ksv::avifile {

namespace {

// A file opened for writing: saved when its last reference goes. A failure
// then has no caller to tell; the file is simply not there.
struct WritingFile final : IAVIFile {
  std::string path;
  ~WritingFile() override {
    if (streams.empty()) return;
    std::vector<const AVICOMPRESSOPTIONS*> copyAll(streams.size(), nullptr);
    SaveStreams(path.c_str(), streams, copyAll, nullptr);
  }
};

}  // namespace

WriteStream::WriteStream(const AVISTREAMINFOA& description) {
  info = description;
  info.dwLength = 0;
  info.dwEditCount = 0;
  info.szName[sizeof info.szName - 1] = 0;
}

HRESULT WriteStream::DataSize(LONG start, LONG count, LONG* bytes) {
  const size_t at = static_cast<size_t>(start - Start());
  *bytes = Chunked() ? static_cast<LONG>(chunks_[at].bytes.size())
                     : count * static_cast<LONG>(info.dwSampleSize);
  return AVIERR_OK;
}

HRESULT WriteStream::ReadData(LONG start, LONG count, uint8_t* out) {
  const size_t at = static_cast<size_t>(start - Start());
  if (Chunked()) {
    std::memcpy(out, chunks_[at].bytes.data(), chunks_[at].bytes.size());
  } else {
    std::memcpy(out, data_.data() + at * info.dwSampleSize, size_t(count) * info.dwSampleSize);
  }
  return AVIERR_OK;
}

bool WriteStream::IsKey(LONG pos) {
  return !Chunked() || chunks_[static_cast<size_t>(pos - Start())].key;
}

HRESULT WriteStream::SetFormat(const void* bytes, LONG size) {
  if (info.dwLength != 0) return AVIERR_UNSUPPORTED;  // no format changes
  if (bytes == nullptr || size <= 0) return AVIERR_BADPARAM;
  const auto* first = static_cast<const uint8_t*>(bytes);
  format.assign(first, first + size);
  return AVIERR_OK;
}

HRESULT WriteStream::Append(LONG start, LONG samples, const void* data, LONG size, DWORD flags,
                            LONG* samplesWritten, LONG* bytesWritten) {
  if (format.empty()) return AVIERR_BADFORMAT;
  if (start != End() || samples < 0 || size < 0 || (size > 0 && data == nullptr))
    return AVIERR_BADPARAM;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (Chunked()) {
    if (samples != 1) return AVIERR_BADPARAM;
    chunks_.push_back({std::vector<uint8_t>(bytes, bytes + size), (flags & AVIIF_KEYFRAME) != 0});
  } else {
    if (LONG(samples * info.dwSampleSize) != size) return AVIERR_BADSIZE;
    data_.insert(data_.end(), bytes, bytes + size);
  }
  info.dwLength += static_cast<DWORD>(samples);
  info.dwSuggestedBufferSize = std::max(info.dwSuggestedBufferSize, static_cast<DWORD>(size));
  if (samplesWritten) *samplesWritten = samples;
  if (bytesWritten) *bytesWritten = size;
  return AVIERR_OK;
}

HRESULT OpenForWriting(const char* path, PAVIFILE* result) {
  auto* file = new WritingFile();
  file->path = path;
  file->info.dwCaps = AVIFILECAPS_CANWRITE;
  file->info.dwScale = 1;
  std::strncpy(file->info.szFileType, "AVI file", sizeof file->info.szFileType - 1);
  *result = file;
  return AVIERR_OK;
}

}  // namespace ksv::avifile

using ksv::avifile::WriteStream;

extern "C" {

HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppstream, LPAVISTREAMINFOA info) {
  if (ppstream == nullptr) return AVIERR_BADPARAM;
  *ppstream = nullptr;
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if ((pfile->info.dwCaps & AVIFILECAPS_CANWRITE) == 0) return AVIERR_READONLY;
  if (info == nullptr) return AVIERR_BADPARAM;
  if (info->dwRate == 0 || info->dwScale == 0) return AVIERR_BADFORMAT;
  if (pfile->streams.size() >= 99) return AVIERR_UNSUPPORTED;
  auto* stream = new WriteStream(*info);
  pfile->streams.push_back(stream);
  ksv::avifile::Retain(stream);
  *ppstream = stream;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pstream, LONG, LPVOID format, LONG formatSize) {
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  WriteStream* writable = pstream->AsWritable();
  return writable == nullptr ? AVIERR_READONLY : writable->SetFormat(format, formatSize);
}

HRESULT AVIStreamWrite(PAVISTREAM pstream, LONG start, LONG samples, LPVOID buffer,
                       LONG bufferSize, DWORD flags, LONG* samplesWritten, LONG* bytesWritten) {
  if (samplesWritten) *samplesWritten = 0;
  if (bytesWritten) *bytesWritten = 0;
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  WriteStream* writable = pstream->AsWritable();
  if (writable == nullptr) return AVIERR_READONLY;
  return writable->Append(start, samples, buffer, bufferSize, flags, samplesWritten,
                          bytesWritten);
}

}  // extern "C"
