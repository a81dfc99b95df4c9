// The reader a file source hands its parser, seen as a ByteSource.
#pragma once

#include "platform/media/avi/byte_io.h"
#include "platform/media/config_interfaces.h"

namespace ksv::media::avi {

class AsyncReaderSource final : public ByteSource {
 public:
  // `reader` is not counted; it must outlive this object.
  explicit AsyncReaderSource(IAsyncReader* reader) : reader_(reader) {}
  uint64_t Size() override {
    LONGLONG total = 0, available = 0;
    if (FAILED(reader_->Length(&total, &available)) || available < 0) return 0;
    return static_cast<uint64_t>(available);
  }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (size > 0x7FFFFFFF || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    if (size == 0) return true;
    return reader_->SyncRead(static_cast<LONGLONG>(offset), static_cast<LONG>(size),
                             static_cast<BYTE*>(buffer)) == S_OK;
  }

 private:
  IAsyncReader* reader_;
};

}  // namespace ksv::media::avi
