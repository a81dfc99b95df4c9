// The objects behind the AVIFile handles. A stream is anything that can be
// read sample by sample: a stream of an open file, an edit stream (ranges of
// other streams), or a stream being written. The C calls check their
// arguments and translate; the objects do the work.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "platform/com/com_object.h"

namespace ksv::avifile {
class EditStream;
class WriteStream;
}  // namespace ksv::avifile

struct IAVIStream {
  IAVIStream() = default;
  virtual ~IAVIStream() = default;
  IAVIStream(const IAVIStream&) = delete;
  IAVIStream& operator=(const IAVIStream&) = delete;

  ksv::com::ReferenceCount references;
  // dwStart and dwLength are kept current by the subclass.
  AVISTREAMINFOA info{};
  std::vector<uint8_t> format;

  LONG Start() const { return static_cast<LONG>(info.dwStart); }
  LONG End() const { return static_cast<LONG>(info.dwStart + info.dwLength); }
  // One chunk is one sample (video); else samples of dwSampleSize bytes.
  bool Chunked() const { return info.dwSampleSize == 0; }

  // The bytes of `count` samples from `start` (start..start+count within
  // the stream; count 1 when Chunked()).
  virtual HRESULT DataSize(LONG start, LONG count, LONG* bytes) = 0;
  // Reads them into `out` (DataSize bytes).
  virtual HRESULT ReadData(LONG start, LONG count, uint8_t* out) = 0;
  // Whether sample `pos` (within the stream) stands alone.
  virtual bool IsKey(LONG pos) = 0;
  // How many samples a read from `start` takes when the caller leaves it.
  virtual LONG ConvenientCount(LONG start);
  // Only editable streams answer.
  virtual ksv::avifile::EditStream* AsEditable() { return nullptr; }
  // Only streams being written answer.
  virtual ksv::avifile::WriteStream* AsWritable() { return nullptr; }
};

struct IAVIFile {
  IAVIFile() = default;
  virtual ~IAVIFile();  // gives back the streams' references
  IAVIFile(const IAVIFile&) = delete;
  IAVIFile& operator=(const IAVIFile&) = delete;

  ksv::com::ReferenceCount references;
  AVIFILEINFOA info{};
  // The streams, each holding one reference the file gives back when it
  // goes; a stream holds a reference to its file only while a caller holds
  // the stream (see FileStream).
  std::vector<IAVIStream*> streams;
};

namespace ksv::avifile {

// Adds a reference / gives one back (deleting at zero), answering the count
// after. Null-safe: a null stream counts 0.
ULONG Retain(IAVIStream* stream);
ULONG Release(IAVIStream* stream);

// Rate and scale as a sample's time in milliseconds and back, each rounded
// to the nearest (so a frame's time gives back the frame for any frame
// longer than a millisecond). A zero rate or scale gives 0.
LONG SampleToMilliseconds(const AVISTREAMINFOA& info, LONG sample);
LONG MillisecondsToSample(const AVISTREAMINFOA& info, LONG time);

// The stream's AVISTREAMINFOA from what a file says of it.
void CopyName(char (&target)[64], const std::string& name);

}  // namespace ksv::avifile
