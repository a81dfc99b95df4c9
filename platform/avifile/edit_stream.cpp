#include "platform/avifile/edit_stream.h"

#include <algorithm>
#include <cstring>

#include "include/win32_types.h"

namespace ksv::avifile {

namespace {

// What decides whether two video streams' frames can follow one another:
// the picture size and the compression (and for uncompressed frames the
// depth and row order). Audio must match in its wave
// format's first 16 bytes (tag, channels, rate, bytes per second, block
// alignment, bits).
bool SameVideo(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() < sizeof(BITMAPINFOHEADER) || b.size() < sizeof(BITMAPINFOHEADER))
    return a == b;
  BITMAPINFOHEADER x, y;
  std::memcpy(&x, a.data(), sizeof x);
  std::memcpy(&y, b.data(), sizeof y);
  if (x.biCompression != y.biCompression || x.biWidth != y.biWidth) return false;
  // Uncompressed rows lie as the header says: the same depth, the same way up.
  if (x.biCompression == BI_RGB) return x.biHeight == y.biHeight && x.biBitCount == y.biBitCount;
  return std::abs(x.biHeight) == std::abs(y.biHeight);
}

bool SameAudio(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  constexpr size_t kWaveCore = 16;
  if (a.size() < kWaveCore || b.size() < kWaveCore) return a == b;
  return std::memcmp(a.data(), b.data(), kWaveCore) == 0;
}

}  // namespace

EditStream::EditStream(IAVIStream* source) {
  info = source->info;
  format = source->format;
  if (EditStream* editable = source->AsEditable()) {
    ranges_ = editable->ranges_;
    for (const Range& range : ranges_) Retain(range.source);
  } else if (source->info.dwLength != 0) {
    Retain(source);
    ranges_.push_back({source, source->Start(), static_cast<LONG>(source->info.dwLength)});
  }
  Recount();
  info.dwEditCount = 0;
}

EditStream::~EditStream() {
  for (const Range& range : ranges_) Release(range.source);
}

void EditStream::Recount() {
  LONG length = 0;
  for (const Range& range : ranges_) {
    length += range.length;
    info.dwSuggestedBufferSize =
        std::max(info.dwSuggestedBufferSize, range.source->info.dwSuggestedBufferSize);
  }
  info.dwLength = static_cast<DWORD>(length);
  ++info.dwEditCount;
}

const EditStream::Range& EditStream::Locate(LONG pos, LONG* sourcePos) const {
  LONG offset = pos - Start();
  for (const Range& range : ranges_) {
    if (offset < range.length) {
      *sourcePos = range.start + offset;
      return range;
    }
    offset -= range.length;
  }
  // Callers check positions against the stream first.
  *sourcePos = ranges_.back().start + ranges_.back().length - 1;
  return ranges_.back();
}

HRESULT EditStream::DataSize(LONG start, LONG count, LONG* bytes) {
  if (!Chunked()) {
    *bytes = count * static_cast<LONG>(info.dwSampleSize);
    return AVIERR_OK;
  }
  LONG at = 0;
  const Range& range = Locate(start, &at);
  return range.source->DataSize(at, 1, bytes);
}

HRESULT EditStream::ReadData(LONG start, LONG count, uint8_t* out) {
  while (count > 0) {
    LONG at = 0;
    const Range& range = Locate(start, &at);
    const LONG take = Chunked() ? 1 : std::min(count, range.start + range.length - at);
    LONG bytes = 0;
    HRESULT result = range.source->DataSize(at, take, &bytes);
    if (result == AVIERR_OK) result = range.source->ReadData(at, take, out);
    if (result != AVIERR_OK) return result;
    out += bytes;
    start += take;
    count -= take;
  }
  return AVIERR_OK;
}

bool EditStream::IsKey(LONG pos) {
  LONG at = 0;
  const Range& range = Locate(pos, &at);
  return range.source->IsKey(at);
}

LONG EditStream::ConvenientCount(LONG start) {
  if (Chunked()) return 1;
  LONG at = 0;
  const Range& range = Locate(start, &at);
  return std::min(range.source->ConvenientCount(at), range.start + range.length - at);
}

bool EditStream::Clamp(LONG* start, LONG* length) const {
  const LONG begin = std::clamp(*start, Start(), End());
  const LONG end = std::clamp(*length < 0 ? End() : begin + *length, begin, End());
  *start = begin;
  *length = end - begin;
  return *length > 0;
}

size_t EditStream::SplitAt(LONG pos) {
  LONG offset = pos - Start();
  for (size_t i = 0; i < ranges_.size(); ++i) {
    if (offset == 0) return i;
    Range& range = ranges_[i];
    if (offset < range.length) {
      Range tail{range.source, range.start + offset, range.length - offset};
      Retain(tail.source);
      range.length = offset;
      ranges_.insert(ranges_.begin() + static_cast<ptrdiff_t>(i) + 1, tail);
      return i + 1;
    }
    offset -= range.length;
  }
  return ranges_.size();
}

EditStream* EditStream::Copy(LONG start, LONG length) const {
  auto* copy = new EditStream();
  copy->info = info;
  copy->info.dwStart = 0;
  copy->info.dwEditCount = 0;
  copy->format = format;
  LONG offset = start - Start();
  for (const Range& range : ranges_) {
    if (length == 0) break;
    if (offset >= range.length) {
      offset -= range.length;
      continue;
    }
    const LONG take = std::min(length, range.length - offset);
    Retain(range.source);
    copy->ranges_.push_back({range.source, range.start + offset, take});
    length -= take;
    offset = 0;
  }
  copy->Recount();
  return copy;
}

void EditStream::Remove(LONG start, LONG length) {
  const size_t first = SplitAt(start);
  const size_t last = SplitAt(start + length);
  for (size_t i = first; i < last; ++i) Release(ranges_[i].source);
  ranges_.erase(ranges_.begin() + static_cast<ptrdiff_t>(first),
                ranges_.begin() + static_cast<ptrdiff_t>(last));
  Recount();
}

void EditStream::Insert(LONG pos, IAVIStream* source, LONG sourceStart, LONG length) {
  // The pieces to insert, each naming a stream that is not editable.
  std::vector<Range> pieces;
  if (EditStream* editable = source->AsEditable()) {
    EditStream* part = editable->Copy(sourceStart, length);
    pieces = part->ranges_;
    for (const Range& range : pieces) Retain(range.source);
    Release(part);
  } else {
    Retain(source);
    pieces.push_back({source, sourceStart, length});
  }
  const bool wasEmpty = ranges_.empty();
  const size_t at = SplitAt(pos);
  ranges_.insert(ranges_.begin() + static_cast<ptrdiff_t>(at), pieces.begin(), pieces.end());
  if (wasEmpty) {
    // An emptied stream takes the pasted stream's description.
    const DWORD start = info.dwStart, edits = info.dwEditCount;
    info = source->info;
    info.dwStart = start;
    info.dwEditCount = edits;
    format = source->format;
  }
  Recount();
}

bool EditStream::Compatible(const IAVIStream& other) const {
  if (ranges_.empty()) return true;
  if (other.info.fccType != info.fccType || other.info.dwSampleSize != info.dwSampleSize)
    return false;
  if (info.fccType == streamtypeVIDEO) return SameVideo(format, other.format);
  if (info.fccType == streamtypeAUDIO) return SameAudio(format, other.format);
  return format == other.format;
}

}  // namespace ksv::avifile
