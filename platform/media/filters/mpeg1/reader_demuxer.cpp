#include "platform/media/filters/mpeg1/reader_demuxer.h"

#include <algorithm>
#include <cstdio>

#include "platform/media/vfw_errors.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace ksv::media::mpeg1 {
namespace {

constexpr int kIoBufferSize = 32 * 1024;

}  // namespace

HRESULT ReaderDemuxer::Open(IAsyncReader* reader, const char* format) {
  Close();
  if (reader == nullptr) return E_POINTER;
  reader_ = reader;
  position_ = 0;
  lastError_ = S_OK;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  io_ = avio_alloc_context(buffer, kIoBufferSize, 0, this, &ReaderDemuxer::Read, nullptr,
                           &ReaderDemuxer::Seek);
  if (io_ == nullptr) {
    av_free(buffer);
    return E_OUTOFMEMORY;
  }
  format_ = avformat_alloc_context();
  if (format_ == nullptr) {
    Close();
    return E_OUTOFMEMORY;
  }
  format_->pb = io_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  format_->interrupt_callback = {&ReaderDemuxer::Interrupted, this};
  const AVInputFormat* input = format != nullptr ? av_find_input_format(format) : nullptr;
  // On failure avformat_open_input frees the context (not our I/O).
  if (avformat_open_input(&format_, nullptr, input, nullptr) < 0) {
    format_ = nullptr;
    const HRESULT error = FAILED(lastError_) ? lastError_ : VFW_E_INVALID_FILE_FORMAT;
    Close();
    return error;
  }
  if (avformat_find_stream_info(format_, nullptr) < 0) {
    const HRESULT error = FAILED(lastError_) ? lastError_ : VFW_E_INVALID_FILE_FORMAT;
    Close();
    return error;
  }
  return S_OK;
}

void ReaderDemuxer::Close() {
  if (format_ != nullptr) avformat_close_input(&format_);
  if (io_ != nullptr) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  reader_ = nullptr;
}

HRESULT ReaderDemuxer::Rewind() {
  if (format_ == nullptr) return E_UNEXPECTED;
  lastError_ = S_OK;
  if (av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE) < 0) {
    return FAILED(lastError_) ? lastError_ : E_FAIL;
  }
  return S_OK;
}

int ReaderDemuxer::Read(void* self, uint8_t* buffer, int size) {
  auto* demuxer = static_cast<ReaderDemuxer*>(self);
  LONGLONG total = 0;
  LONGLONG available = 0;
  HRESULT result = demuxer->reader_->Length(&total, &available);
  if (FAILED(result)) {
    demuxer->lastError_ = result;
    return AVERROR(EIO);
  }
  const int64_t left = total - demuxer->position_;
  if (left <= 0) return AVERROR_EOF;
  const LONG length = static_cast<LONG>(std::min<int64_t>(left, size));
  result = demuxer->reader_->SyncRead(demuxer->position_, length, buffer);
  if (FAILED(result)) {
    demuxer->lastError_ = result;
    return AVERROR(EIO);
  }
  // S_FALSE: the stream ended sooner than its length said; the reader
  // does not say how much it read, so nothing of this read counts.
  if (result == S_FALSE) return AVERROR_EOF;
  demuxer->position_ += length;
  return length;
}

int64_t ReaderDemuxer::Seek(void* self, int64_t offset, int whence) {
  auto* demuxer = static_cast<ReaderDemuxer*>(self);
  LONGLONG total = 0;
  LONGLONG available = 0;
  const HRESULT result = demuxer->reader_->Length(&total, &available);
  if (FAILED(result)) {
    demuxer->lastError_ = result;
    return AVERROR(EIO);
  }
  int64_t target = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return total;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = demuxer->position_ + offset; break;
    case SEEK_END: target = total + offset; break;
    default: return AVERROR(EINVAL);
  }
  if (target < 0) return AVERROR(EINVAL);
  demuxer->position_ = target;
  return target;
}

int ReaderDemuxer::Interrupted(void* self) {
  const auto* demuxer = static_cast<ReaderDemuxer*>(self);
  return demuxer->interrupt_ != nullptr && demuxer->interrupt_->load() ? 1 : 0;
}

}  // namespace ksv::media::mpeg1
