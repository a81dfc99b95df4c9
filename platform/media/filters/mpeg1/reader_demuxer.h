// libavformat reading a byte stream that an IAsyncReader gives: a custom
// AVIOContext whose read and seek call SyncRead and Length. One thread at
// a time uses it (the splitter's connection, then its streaming thread).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/media/config_interfaces.h"

struct AVFormatContext;
struct AVIOContext;

namespace ksv::media::mpeg1 {

class ReaderDemuxer {
 public:
  ReaderDemuxer() = default;
  ~ReaderDemuxer() { Close(); }
  ReaderDemuxer(const ReaderDemuxer&) = delete;
  ReaderDemuxer& operator=(const ReaderDemuxer&) = delete;

  // Opens the stream as `format` (a libavformat demuxer name; null to let
  // libavformat guess) and reads its streams' parameters. The reader must
  // stay valid until Close. VFW_E_INVALID_FILE_FORMAT when the bytes are
  // not such a stream, the reader's error when it failed.
  HRESULT Open(IAsyncReader* reader, const char* format);
  void Close();
  AVFormatContext* context() const { return format_; }

  // Back to the first byte, for a new run.
  HRESULT Rewind();
  // While `*flag` is true, reads give up (a stopping filter sets it).
  void SetInterruptFlag(const std::atomic<bool>* flag) { interrupt_ = flag; }
  // The reader's error behind the last failed read, or S_OK.
  HRESULT lastReadError() const { return lastError_; }

 private:
  static int Read(void* self, uint8_t* buffer, int size);
  static int64_t Seek(void* self, int64_t offset, int whence);
  static int Interrupted(void* self);

  IAsyncReader* reader_ = nullptr;  // not counted: the input pin holds it
  int64_t position_ = 0;
  HRESULT lastError_ = S_OK;
  const std::atomic<bool>* interrupt_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVIOContext* io_ = nullptr;
};

}  // namespace ksv::media::mpeg1
