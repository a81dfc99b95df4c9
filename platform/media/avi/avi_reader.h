// Reads an AVI file's headers and the index of every stream. Plain and
// OpenDML files are read: the index comes from the OpenDML super index
// (indx and its ix## chunks, over every RIFF part), else from idx1, else
// from a scan of the movi lists. The file is outside input: a chunk that
// claims more than its parent holds ends at its parent, a file that ends
// inside a chunk keeps what came before its last whole chunk, index
// entries past the end are dropped, and what cannot be read (no hdrl, no
// stream, a zero rate or scale, a strf shorter than its header) fails with
// a FormatError that says why. Without an index no flag tells key frames:
// the scan takes every video chunk with data for one. Every audio chunk is
// a key frame.
#pragma once

#include <stdexcept>

#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::media::avi {

class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws FormatError.
File ReadAvi(ByteSource& source);

// True when the first bytes are "RIFF" ... "AVI ".
bool LooksLikeAvi(const uint8_t* bytes, size_t size);

// The number of the first sample each index entry holds: the entry's
// position for a stream whose chunks are one sample each (sampleSize 0),
// else the bytes before it over sampleSize. Plus the stream's start.
std::vector<uint64_t> FirstSamples(const Stream& stream);

// Sample `sample` of a stream in 100-ns units: sample * scale / rate.
int64_t SampleTime(const StreamHeader& header, uint64_t sample);

}  // namespace ksv::media::avi
