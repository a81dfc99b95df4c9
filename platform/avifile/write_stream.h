// A stream of a file opened for writing: its samples are kept in memory as
// they are written (and can be read back) and go into the file, through
// the same path as AVISaveA, when the file's last reference goes.
#pragma once

#include <string>
#include <vector>

#include "platform/avifile/avi_objects.h"

namespace ksv::avifile {

class WriteStream final : public IAVIStream {
 public:
  explicit WriteStream(const AVISTREAMINFOA& description);

  HRESULT DataSize(LONG start, LONG count, LONG* bytes) override;
  HRESULT ReadData(LONG start, LONG count, uint8_t* out) override;
  bool IsKey(LONG pos) override;
  WriteStream* AsWritable() override { return this; }

  HRESULT SetFormat(const void* bytes, LONG size);
  HRESULT Append(LONG start, LONG samples, const void* data, LONG size, DWORD flags,
                 LONG* samplesWritten, LONG* bytesWritten);

 private:
  struct Chunk {
    std::vector<uint8_t> bytes;
    bool key;
  };
  std::vector<Chunk> chunks_;  // one per sample when Chunked()
  std::vector<uint8_t> data_;  // every sample's bytes otherwise
};

// Opens a new file for writing; it is written when released.
HRESULT OpenForWriting(const char* path, PAVIFILE* result);

}  // namespace ksv::avifile
