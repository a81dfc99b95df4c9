// The bytes a multiplexer writes (an AVI or WAV file's chunks, then its
// index and headers again at the front) as a file sink downstream takes
// them: media samples whose times are byte positions (start = offset,
// stop = offset + length), delivered through the filter's output pin.
// Writes that follow one another are gathered into one sample.
//
// When the sink refuses samples (it was stopped first: a capture ends with
// the graph's Stop, which reaches the sink before its upstream) the bytes
// go through the IStream the sink's input pin offers instead, and the
// writer of the file calls Commit when it is done, still within the
// graph's Stop.
#pragma once

#include "platform/com/stream.h"
#include "platform/media/avi/byte_io.h"
#include "platform/media/base/pins.h"

namespace ksv::media {

class PositionedOutput final : public avi::ByteSink {
 public:
  // `pin` belongs to the filter that owns this object.
  explicit PositionedOutput(CBaseOutputPin* pin) : pin_(pin) {}
  ~PositionedOutput() override { Reset(); }
  PositionedOutput(const PositionedOutput&) = delete;
  PositionedOutput& operator=(const PositionedOutput&) = delete;

  bool WriteAt(uint64_t offset, const avi::ByteRange* pieces, size_t count) override;
  // Delivers what is gathered; false when it could not be written.
  bool Flush();
  // Writes go through the sink's IStream from now on (and what is
  // gathered goes there too); false when the sink offers none.
  bool UseStream();
  // Flushes and commits through the IStream; the sink makes the file appear.
  HRESULT Commit();
  // Forgets what is gathered and the stream (a new file follows).
  void Reset();
  // Why the last write failed.
  HRESULT LastError() const { return lastError_; }

 private:
  bool Append(uint64_t offset, const uint8_t* data, size_t size);
  bool StartSample(uint64_t offset);
  bool WriteToStream(uint64_t offset, const uint8_t* data, size_t size);
  bool OpenStream();

  CBaseOutputPin* pin_;
  IMediaSample* pending_ = nullptr;  // gathered bytes, from pendingStart_
  BYTE* pendingBuffer_ = nullptr;
  uint64_t pendingStart_ = 0;
  size_t pendingLength_ = 0;
  size_t pendingCapacity_ = 0;
  IStream* stream_ = nullptr;  // counted, once asked for
  bool useStream_ = false;
  HRESULT lastError_ = S_OK;
};

}  // namespace ksv::media
