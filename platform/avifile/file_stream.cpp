#include "platform/avifile/file_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <system_error>

#include "platform/media/avi/avi_reader.h"

namespace ksv::avifile {

namespace avi = media::avi;

namespace {

constexpr uint64_t kLongMax = std::numeric_limits<LONG>::max();

AVISTREAMINFOA StreamInfoOf(const avi::Stream& stream, uint64_t samples) {
  const avi::StreamHeader& h = stream.header;
  AVISTREAMINFOA info{};
  info.fccType = h.type;
  info.fccHandler = h.handler;
  info.dwFlags = h.flags & (AVISTREAMINFO_DISABLED | AVISTREAMINFO_FORMATCHANGES);
  info.wPriority = h.priority;
  info.wLanguage = h.language;
  info.dwScale = h.scale;
  info.dwRate = h.rate;
  info.dwStart = static_cast<DWORD>(std::min<uint64_t>(h.start, kLongMax / 2));
  // What the index holds: a header's length that promises more (a file cut
  // short, an index pointing past the end) would only lead to failed reads.
  info.dwLength = static_cast<DWORD>(std::min<uint64_t>(samples, kLongMax / 2));
  info.dwInitialFrames = h.initialFrames;
  info.dwSuggestedBufferSize = h.suggestedBufferSize;
  info.dwQuality = h.quality;
  info.dwSampleSize = h.sampleSize;
  info.rcFrame = {h.frameLeft, h.frameTop, h.frameRight, h.frameBottom};
  CopyName(info.szName, stream.name);
  return info;
}

AVIFILEINFOA FileInfoOf(const avi::File& file, const std::vector<IAVIStream*>& streams) {
  AVIFILEINFOA info{};
  const avi::MainHeader& main = file.main;
  info.dwMaxBytesPerSec = main.maxBytesPerSec;
  info.dwFlags = main.flags & (AVIFILEINFO_HASINDEX | AVIFILEINFO_MUSTUSEINDEX |
                               AVIFILEINFO_ISINTERLEAVED | AVIFILEINFO_WASCAPTUREFILE |
                               AVIFILEINFO_COPYRIGHTED);
  info.dwCaps = AVIFILECAPS_CANREAD;
  info.dwStreams = static_cast<DWORD>(streams.size());
  info.dwSuggestedBufferSize = main.suggestedBufferSize;
  info.dwWidth = main.width;
  info.dwHeight = main.height;
  // The file's time base follows its first video stream, else the main
  // header's frame period.
  info.dwScale = main.microSecPerFrame != 0 ? main.microSecPerFrame : 1;
  info.dwRate = 1'000'000;
  info.dwLength = file.totalFrames;
  for (IAVIStream* stream : streams) {
    if (stream->info.fccType != streamtypeVIDEO) continue;
    info.dwScale = stream->info.dwScale;
    info.dwRate = stream->info.dwRate;
    info.dwLength = stream->info.dwLength;
    break;
  }
  std::strncpy(info.szFileType, "AVI file", sizeof info.szFileType - 1);
  return info;
}

}  // namespace

FileStream::FileStream(std::shared_ptr<const OpenedFile> opened, size_t number)
    : opened_(std::move(opened)), number_(number) {
  const avi::Stream& stream = Data();
  uint64_t bytes = 0;
  firstByte_.reserve(stream.index.size());
  for (const auto& entry : stream.index) {
    firstByte_.push_back(bytes);
    bytes += entry.size;
  }
  const uint32_t sampleSize = stream.header.sampleSize;
  info = StreamInfoOf(stream, sampleSize == 0 ? stream.index.size() : bytes / sampleSize);
  format = stream.format;
}

size_t FileStream::EntryAt(uint64_t offset) const {
  const auto after = std::upper_bound(firstByte_.begin(), firstByte_.end(), offset);
  return static_cast<size_t>(after - firstByte_.begin()) - 1;
}

HRESULT FileStream::DataSize(LONG start, LONG count, LONG* bytes) {
  const auto& index = Data().index;
  if (Chunked()) {
    *bytes = static_cast<LONG>(index[static_cast<size_t>(start - Start())].size);
  } else {
    *bytes = count * static_cast<LONG>(info.dwSampleSize);
  }
  return AVIERR_OK;
}

HRESULT FileStream::ReadData(LONG start, LONG count, uint8_t* out) {
  const auto& index = Data().index;
  avi::ByteSource& source = *opened_->source;
  if (Chunked()) {
    const auto& entry = index[static_cast<size_t>(start - Start())];
    return source.ReadAt(entry.offset, out, entry.size) ? AVIERR_OK : AVIERR_FILEREAD;
  }
  uint64_t offset = uint64_t(start - Start()) * info.dwSampleSize;
  uint64_t left = uint64_t(count) * info.dwSampleSize;
  while (left != 0) {
    const size_t at = EntryAt(offset);
    const auto& entry = index[at];
    const uint64_t within = offset - firstByte_[at];
    const uint64_t take = std::min<uint64_t>(left, entry.size - within);
    if (take == 0 || !source.ReadAt(entry.offset + within, out, take)) return AVIERR_FILEREAD;
    out += take;
    offset += take;
    left -= take;
  }
  return AVIERR_OK;
}

bool FileStream::IsKey(LONG pos) {
  if (!Chunked()) return true;
  return Data().index[static_cast<size_t>(pos - Start())].keyFrame;
}

LONG FileStream::ConvenientCount(LONG start) {
  if (Chunked()) return 1;
  // The rest of the chunk that holds `start`.
  const uint64_t offset = uint64_t(start - Start()) * info.dwSampleSize;
  const size_t at = EntryAt(offset);
  const uint64_t rest = firstByte_[at] + Data().index[at].size - offset;
  const uint64_t samples = std::max<uint64_t>(1, rest / info.dwSampleSize);
  return static_cast<LONG>(std::min<uint64_t>(samples, uint64_t(End() - start)));
}

HRESULT OpenForReading(const char* path, PAVIFILE* result) {
  auto opened = std::make_shared<OpenedFile>();
  try {
    opened->source = std::make_unique<avi::FileByteSource>(path);
  } catch (const std::system_error&) {
    return AVIERR_FILEOPEN;
  }
  try {
    opened->file = avi::ReadAvi(*opened->source);
  } catch (const avi::FormatError&) {
    return AVIERR_BADFORMAT;
  } catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
  } catch (const std::exception&) {
    return AVIERR_FILEREAD;  // the reader gave up on the bytes some other way
  }
  auto file = std::make_unique<IAVIFile>();
  std::shared_ptr<const OpenedFile> shared = std::move(opened);
  for (size_t i = 0; i < shared->file.streams.size(); ++i)
    file->streams.push_back(new FileStream(shared, i));
  file->info = FileInfoOf(shared->file, file->streams);
  *result = file.release();
  return AVIERR_OK;
}

}  // namespace ksv::avifile
