// An editable stream: a list of ranges of other streams, read as one. The
// edits change only the list; no sample is copied until the stream is read
// or saved. Ranges always name streams that are not editable (pasting an
// edit stream splices in its ranges), so reads never go through a chain.
#pragma once

#include <vector>

#include "platform/avifile/avi_objects.h"

namespace ksv::avifile {

class EditStream final : public IAVIStream {
 public:
  // A stream that reads as `source` (an editable source is cloned). It
  // starts where `source` starts.
  explicit EditStream(IAVIStream* source);
  ~EditStream() override;

  HRESULT DataSize(LONG start, LONG count, LONG* bytes) override;
  HRESULT ReadData(LONG start, LONG count, uint8_t* out) override;
  bool IsKey(LONG pos) override;
  LONG ConvenientCount(LONG start) override;
  EditStream* AsEditable() override { return this; }

  // [start, start + length) clamped to the stream; false when empty.
  bool Clamp(LONG* start, LONG* length) const;
  // A new editable stream, starting at 0, of [start, start + length).
  EditStream* Copy(LONG start, LONG length) const;
  // Removes [start, start + length).
  void Remove(LONG start, LONG length);
  // Inserts [sourceStart, sourceStart + length) of `source` at `pos`.
  void Insert(LONG pos, IAVIStream* source, LONG sourceStart, LONG length);
  // The stream sample `pos` comes from, and its place there.
  IAVIStream* SourceOf(LONG pos, LONG* sourcePos) const { return Locate(pos, sourcePos).source; }
  // Whether samples of `other` can join this stream's.
  bool Compatible(const IAVIStream& other) const;

 private:
  struct Range {
    IAVIStream* source;  // holds a reference
    LONG start;          // in the source's positions
    LONG length;
  };
  EditStream() = default;
  // The range holding `pos` and `pos`'s place in its source.
  const Range& Locate(LONG pos, LONG* sourcePos) const;
  // Splits the range list so that a range begins at `pos`; its index.
  size_t SplitAt(LONG pos);
  void Recount();

  std::vector<Range> ranges_;
};

}  // namespace ksv::avifile
