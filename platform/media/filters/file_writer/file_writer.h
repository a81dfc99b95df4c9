// The File writer filter: one input pin that takes a MEDIATYPE_Stream byte
// stream (an AVI or WAV file a multiplexer makes) and writes it to the file
// IFileSinkFilter names.
//
// Each sample holds bytes for a position of the file: its start time is the
// byte offset (its stop time the offset after it), not a time. The bytes go
// into a temporary file beside the target, opened when the filter leaves
// the stopped state; the file appears under its name only when the stream
// is complete:
//   - at end of stream, which then reports EC_COMPLETE; or
//   - when stopped without end of stream (the graph stops the writer before
//     its upstream), when the upstream, in its own Stop, writes its last
//     bytes through the pin's IStream and calls IStream::Commit.
// A file never committed is deleted at the next run, on disconnection or
// with the filter. After an error (a failed write, which is notified as
// EC_ERRORABORT and fails Receive, or any stream error the graph reports
// through IGraphStreamErrors) nothing appears under the name and the
// temporary file goes.
//
// With or without AM_FILE_OVERWRITE the file ends up holding exactly the
// bytes written: an old file of that name is replaced whole, never written
// over in place with its old tail left behind.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/com/stream.h"
#include "platform/media/base/filter.h"
#include "platform/media/base/media_type.h"
#include "platform/media/base/pins.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filters/file_writer/pending_file.h"

namespace ksv::media::filters {

class FileWriter;

// The filter's registration record.
extern const AMOVIESETUP_FILTER kFileWriterSetup;

class FileWriterInputPin : public CBaseInputPin, public IStream {
 public:
  FileWriterInputPin(FileWriter* filter, CCritSec* lock);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Any MEDIATYPE_Stream.
  HRESULT CheckMediaType(const CMediaType* type) override;
  // Opens the temporary file (leaving the stopped state).
  HRESULT Active() override;
  // Deletes a file that was never committed.
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;

  // IStream: a seek pointer over the pending file, usable while stopped.
  // Read is not offered; Commit puts the file in place.
  HRESULT Read(void* buffer, ULONG size, ULONG* read) override;
  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
  HRESULT SetSize(ULARGE_INTEGER size) override;
  HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                 ULARGE_INTEGER* written) override;
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
  HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
  HRESULT Stat(STATSTG* stat, DWORD flags) override;
  HRESULT Clone(IStream** copy) override;

 private:
  FileWriter* writer_;
};

class FileWriter : public CBaseFilter, public IFileSinkFilter2 {
 public:
  FileWriter();
  ~FileWriter() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  const AMOVIESETUP_FILTER* GetSetupData() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

  // IFileSinkFilter2. SetFileName while a file is being written is
  // VFW_E_WRONG_STATE.
  HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
  HRESULT SetMode(DWORD flags) override;
  HRESULT GetMode(DWORD* flags) override;

 private:
  friend class FileWriterInputPin;

  // What the pin does, serialised by writeMutex_ (sample order, IStream
  // calls and the commit). Events are sent after the mutex is let go.
  HRESULT StartFile();
  HRESULT WriteSample(IMediaSample* sample);
  HRESULT FinishAtEndOfStream();
  HRESULT WriteStream(const void* buffer, ULONG size, ULONG* written);
  HRESULT SeekStream(LONGLONG move, DWORD origin, ULARGE_INTEGER* newPosition);
  HRESULT CommitStream();
  void DiscardFile();

  // With writeMutex_ held: the write failed; the file goes.
  HRESULT FailLocked(HRESULT error);
  // With writeMutex_ held: commits, or discards after an error.
  HRESULT FinishLocked();
  // The first stream error the graph saw since it left the stopped state
  // (S_OK when none, or when the graph cannot tell).
  HRESULT GraphStreamError();

  CCritSec lock_;
  FileWriterInputPin pin_;

  std::u16string fileName_;  // under lock_
  CMediaType fileType_;
  DWORD mode_ = 0;

  std::mutex writeMutex_;
  PendingFile file_;
  HRESULT failure_ = S_OK;          // the write error of this file
  HRESULT outcome_ = E_UNEXPECTED;  // how the last file ended
  uint64_t nextOffset_ = 0;         // for samples without a position
  uint64_t streamPosition_ = 0;     // IStream's seek pointer
};

}  // namespace ksv::media::filters
