#include "platform/media/avi/avi_writer.h"

#include <algorithm>

#include "platform/media/avi/avi_header_layout.h"
#include "platform/media/avi/avi_headers.h"
#include "platform/media/avi/riff_chunks.h"
#include "support/byte_order.h"

namespace ksv::media::avi {

using support::AppendLe16;
using support::AppendLe32;

namespace {

// A chunk's size must leave bit 31 free (a standard index's key-frame flag).
constexpr uint64_t kLargestChunk = 0x7FFFFFFF - 8;
// A part's sizes and offsets are 32-bit fields.
constexpr uint64_t kLargestPart = 0xFFFFFFFF - 0xFFFF;

uint16_t DataCode(const StreamHeader& header, const std::vector<uint8_t>& format) {
  if (header.type == kStreamAudio) return kAudioData;
  if (header.type == kStreamText) return 't' | 'x' << 8;
  const bool uncompressed =
      header.handler == Fourcc("DIB ") ||
      (format.size() >= layout::kBitmapInfoHeaderSize && support::LoadLe32(format, 16) == 0);
  return uncompressed ? kVideoUncompressed : kVideoCompressed;
}

uint32_t IndexId(uint32_t stream) { return ('i' | 'x' << 8) | (ChunkId(stream, 0) & 0xFFFF) << 16; }

uint32_t Clamp32(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, 0xFFFFFFFF));
}

}  // namespace

struct Writer::StreamState {
  StreamHeader header;
  std::vector<uint8_t> format;
  std::string name;
  uint32_t chunkId = 0;
  uint64_t chunks = 0;
  uint64_t bytes = 0;
  uint64_t firstPartChunks = 0;
  uint32_t largest = 0;
  struct Entry {
    uint32_t offset;  // from the part's movi list
    uint32_t size;    // bit 31: not a key frame
  };
  std::vector<Entry> part;  // this part's chunks
  uint64_t partBytes = 0;
  std::vector<layout::SuperIndexEntry> superIndex;

  uint64_t Samples(uint64_t chunkCount, uint64_t byteCount) const {
    return header.sampleSize == 0 ? chunkCount : byteCount / header.sampleSize;
  }
};

Writer::Writer(ByteSink& sink, WriterOptions options) : sink_(sink), options_(options) {
  options_.partLimit = std::min(options_.partLimit, kLargestPart);
  options_.superIndexEntries = std::max<uint32_t>(options_.superIndexEntries, 1);
}

Writer::~Writer() = default;

uint32_t Writer::AddStream(const StreamHeader& header, std::vector<uint8_t> format,
                           std::string name) {
  const auto number = static_cast<uint32_t>(streams_.size());
  auto state = std::make_unique<StreamState>();
  state->header = header;
  state->chunkId = ChunkId(number, DataCode(header, format));
  state->format = std::move(format);
  state->name = std::move(name);
  streams_.push_back(std::move(state));
  return number;
}

bool Writer::Write(uint64_t offset, const ByteRange* pieces, size_t count) {
  if (failed_) return false;
  if (!sink_.WriteAt(offset, pieces, count)) failed_ = true;
  return !failed_;
}

bool Writer::WriteBytes(uint64_t offset, const std::vector<uint8_t>& bytes) {
  const ByteRange piece{bytes.data(), bytes.size()};
  return Write(offset, &piece, 1);
}

bool Writer::Begin(const MainHeader& main) {
  if (begun_ || failed_ || streams_.empty() || streams_.size() > 100) return false;
  begun_ = true;
  main_ = main;
  if (!WriteHeaders()) return false;
  moviList_ = end_ - 12;
  return true;
}

bool Writer::WriteHeaders() {
  layout::HeaderLayout headers;
  headers.main = FinalMainHeader();
  for (const auto& stream : streams_) {
    StreamHeader& header = stream->header;
    header.length = Clamp32(stream->Samples(stream->chunks, stream->bytes));
    header.suggestedBufferSize = std::max(header.suggestedBufferSize, stream->largest);
    headers.streams.push_back({&stream->header, &stream->format, &stream->name, stream->chunkId,
                               stream->superIndex, options_.superIndexEntries});
  }
  headers.totalFrames = Clamp32(TimingStream().chunks);
  // Before Finish the sizes say: the headers and an empty movi list.
  headers.riffSize = firstRiffSize_;
  headers.moviSize = firstMoviSize_ != 0 ? firstMoviSize_ : 4;
  buffer_ = layout::BuildHeaders(headers);
  if (firstRiffSize_ == 0)
    support::StoreLe32(buffer_, 4, static_cast<uint32_t>(buffer_.size() - 8));
  if (!WriteBytes(0, buffer_)) return false;
  end_ = std::max<uint64_t>(end_, buffer_.size());
  return true;
}

// The frame count and period follow the first video stream, else the first.
const Writer::StreamState& Writer::TimingStream() const {
  for (const auto& stream : streams_) {
    if (stream->header.type == kStreamVideo) return *stream;
  }
  return *streams_.front();
}

MainHeader Writer::FinalMainHeader() const {
  MainHeader main = main_;
  const StreamState* timing = &TimingStream();
  if (main.microSecPerFrame == 0 && timing->header.rate != 0) {
    main.microSecPerFrame =
        Clamp32(uint64_t{timing->header.scale} * 1'000'000 / timing->header.rate);
  }
  main.streams = static_cast<uint32_t>(streams_.size());
  main.flags = AVIF_ISINTERLEAVED | AVIF_TRUSTCKTYPE | (options_.legacyIndex ? AVIF_HASINDEX : 0);
  main.totalFrames = Clamp32(timing->firstPartChunks);
  uint64_t bytes = 0;
  main.suggestedBufferSize = 0;
  for (const auto& stream : streams_) {
    main.suggestedBufferSize = std::max(main.suggestedBufferSize, stream->largest + 8);
    bytes += stream->bytes;
  }
  const uint64_t microseconds = timing->chunks * main.microSecPerFrame;
  main.maxBytesPerSec =
      microseconds == 0 ? 0 : Clamp32((bytes * 1'000'000 + microseconds - 1) / microseconds);
  return main;
}

uint64_t Writer::PendingIndexBytes(uint32_t stream) const {
  uint64_t bytes = 0;
  for (uint32_t i = 0; i < streams_.size(); ++i) {
    const uint64_t entries = streams_[i]->part.size() + (i == stream ? 1 : 0);
    if (entries != 0)
      bytes += 8 + layout::kIndexHeaderSize + entries * layout::kStandardIndexEntrySize;
  }
  if (part_ == 0 && options_.legacyIndex)
    bytes += 8 + (legacy_.size() + 1) * layout::kLegacyIndexEntrySize;
  return bytes;
}

bool Writer::WriteChunk(uint32_t stream, const ByteRange* pieces, size_t count, bool keyFrame) {
  if (!begun_ || finished_ || failed_ || stream >= streams_.size()) return false;
  uint64_t size = 0;
  for (size_t i = 0; i < count; ++i) size += pieces[i].size;
  if (size > kLargestChunk) return false;
  const uint64_t chunkBytes = 8 + size + (size & 1);
  if (chunksInPart_ != 0 &&
      end_ - partStart_ + chunkBytes + PendingIndexBytes(stream) > options_.partLimit) {
    if (!ClosePart() || !OpenPart()) return false;
  }
  StreamState& state = *streams_[stream];
  uint8_t header[8];
  support::StoreLe32(header, 0, state.chunkId);
  support::StoreLe32(header, 4, static_cast<uint32_t>(size));
  static constexpr uint8_t kPad = 0;
  pieces_.clear();
  pieces_.push_back({header, sizeof header});
  pieces_.insert(pieces_.end(), pieces, pieces + count);
  if (size & 1) pieces_.push_back({&kPad, 1});
  if (!Write(end_, pieces_.data(), pieces_.size())) return false;

  const uint64_t dataOffset = end_ + 8;
  const bool key = keyFrame || state.header.type == kStreamAudio;
  state.part.push_back({static_cast<uint32_t>(dataOffset - moviList_),
                        static_cast<uint32_t>(size) | (key ? 0 : layout::kNotKeyFrame)});
  if (part_ == 0) {
    ++state.firstPartChunks;
    if (options_.legacyIndex) {
      legacy_.push_back({state.chunkId, key ? AVIIF_KEYFRAME : 0u,
                         static_cast<uint32_t>(end_ - (moviList_ + 8)),
                         static_cast<uint32_t>(size)});
    }
  }
  ++state.chunks;
  state.bytes += size;
  state.partBytes += size;
  state.largest = std::max(state.largest, static_cast<uint32_t>(size));
  ++chunksInPart_;
  end_ += chunkBytes;
  return true;
}

bool Writer::ClosePart() {
  for (uint32_t i = 0; i < streams_.size(); ++i) {
    StreamState& state = *streams_[i];
    if (state.part.empty()) continue;
    if (state.superIndex.size() >= options_.superIndexEntries) {
      failed_ = true;  // no slot left to name this part's index
      return false;
    }
    buffer_.clear();
    const auto entries = static_cast<uint32_t>(state.part.size());
    AppendLe32(buffer_, IndexId(i));
    AppendLe32(buffer_, static_cast<uint32_t>(layout::kIndexHeaderSize +
                                              entries * layout::kStandardIndexEntrySize));
    AppendLe16(buffer_, 2);  // longs per entry
    buffer_.push_back(0);    // sub-type
    buffer_.push_back(layout::kIndexOfChunks);
    AppendLe32(buffer_, entries);
    AppendLe32(buffer_, state.chunkId);
    AppendLe32(buffer_, static_cast<uint32_t>(moviList_));
    AppendLe32(buffer_, static_cast<uint32_t>(moviList_ >> 32));
    AppendLe32(buffer_, 0);
    for (const auto& entry : state.part) {
      AppendLe32(buffer_, entry.offset);
      AppendLe32(buffer_, entry.size);
    }
    if (!WriteBytes(end_, buffer_)) return false;
    state.superIndex.push_back({end_, static_cast<uint32_t>(buffer_.size()),
                                Clamp32(state.Samples(state.part.size(), state.partBytes))});
    end_ += buffer_.size();
    state.part.clear();
    state.partBytes = 0;
  }
  const auto moviSize = static_cast<uint32_t>(end_ - (moviList_ + 8));
  if (part_ == 0) {
    firstMoviSize_ = moviSize;
    if (options_.legacyIndex) {
      buffer_.clear();
      AppendLe32(buffer_, layout::kLegacyIndexId);
      AppendLe32(buffer_, static_cast<uint32_t>(legacy_.size() * layout::kLegacyIndexEntrySize));
      for (const auto& entry : legacy_) {
        for (uint32_t field : {entry.id, entry.flags, entry.offset, entry.size})
          AppendLe32(buffer_, field);
      }
      if (!WriteBytes(end_, buffer_)) return false;
      end_ += buffer_.size();
      legacy_ = {};
    }
    firstRiffSize_ = static_cast<uint32_t>(end_ - 8);
  } else {
    uint8_t size[4];
    support::StoreLe32(size, 0, moviSize);
    const ByteRange movi{size, 4};
    if (!Write(moviList_ + 4, &movi, 1)) return false;
    support::StoreLe32(size, 0, static_cast<uint32_t>(end_ - (partStart_ + 8)));
    if (!Write(partStart_ + 4, &movi, 1)) return false;
  }
  chunksInPart_ = 0;
  return true;
}

bool Writer::OpenPart() {
  if (part_ + 1 >= options_.superIndexEntries) {
    failed_ = true;  // a further part could not be indexed
    return false;
  }
  ++part_;
  partStart_ = end_;
  moviList_ = end_ + 12;
  buffer_.clear();
  AppendLe32(buffer_, riff::kRiff);
  AppendLe32(buffer_, 4 + 12);
  AppendLe32(buffer_, layout::kAviExtension);
  AppendLe32(buffer_, riff::kList);
  AppendLe32(buffer_, 4);
  AppendLe32(buffer_, layout::kMovieList);
  if (!WriteBytes(end_, buffer_)) return false;
  end_ += buffer_.size();
  return true;
}

bool Writer::Finish() {
  if (!begun_ || finished_ || failed_) return false;
  finished_ = true;
  return ClosePart() && WriteHeaders();
}

}  // namespace ksv::media::avi
