// A stream of an AVI file opened for reading: its samples come from the
// chunks the file's index names, read when asked.
#pragma once

#include <memory>

#include "platform/avifile/avi_objects.h"
#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::avifile {

// What the streams of one file share; it outlives the file's handle while
// any stream is held.
struct OpenedFile {
  std::unique_ptr<media::avi::ByteSource> source;
  media::avi::File file;
};

class FileStream final : public IAVIStream {
 public:
  FileStream(std::shared_ptr<const OpenedFile> opened, size_t number);

  HRESULT DataSize(LONG start, LONG count, LONG* bytes) override;
  HRESULT ReadData(LONG start, LONG count, uint8_t* out) override;
  bool IsKey(LONG pos) override;
  LONG ConvenientCount(LONG start) override;

 private:
  const media::avi::Stream& Data() const { return opened_->file.streams[number_]; }
  // The index entry holding byte `offset` of the stream's data.
  size_t EntryAt(uint64_t offset) const;

  std::shared_ptr<const OpenedFile> opened_;
  size_t number_;
  std::vector<uint64_t> firstByte_;  // per index entry, bytes before it
};

// Opens `path` for reading: a file handle holding one FileStream per
// stream, or the AVIERR code of why not.
HRESULT OpenForReading(const char* path, PAVIFILE* result);

}  // namespace ksv::avifile
