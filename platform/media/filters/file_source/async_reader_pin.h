// The File Source's output pin: it pushes nothing. A parser's input pin
// (CReaderInputPin) connects to it and pulls the file's bytes through
// IAsyncReader, from as many threads as it likes.
//
// Reads are served at once (pread): Request reads into the sample before it
// returns and queues it for WaitForNext, so the "asynchronous" reads are
// done by the caller's thread. The caller's reference to a requested sample
// travels through the queue and comes back from WaitForNext.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/media/base/pins.h"
#include "platform/media/config_interfaces.h"

namespace ksv::media::filters {

class FileSource;

class AsyncReaderPin : public CBasePin, public IAsyncReader {
 public:
  AsyncReaderPin(FileSource* filter, CCritSec* lock, HRESULT* result);
  ~AsyncReaderPin() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // An input pin that takes pushed samples (IMemInputPin) would never get
  // any: only pulling pins may connect.
  HRESULT CheckConnect(IPin* pin) override;
  // The one type: MEDIATYPE_Stream with the file's subtype.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;

  // Nothing is pushed from this pin, so end of stream is not for it.
  HRESULT EndOfStream() override { return E_UNEXPECTED; }

  // IAsyncReader. Byte positions in sample times are multiplied by UNITS.
  HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                           IMemAllocator** actual) override;
  HRESULT Request(IMediaSample* sample, ULONG_PTR user) override;
  // VFW_E_TIMEOUT when nothing completed in time; while flushing
  // VFW_E_WRONG_STATE, with a completed sample to release when one was left.
  HRESULT WaitForNext(DWORD milliseconds, IMediaSample** sample, ULONG_PTR* user) override;
  HRESULT SyncReadAligned(IMediaSample* sample) override;
  HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
  HRESULT Length(LONGLONG* total, LONGLONG* available) override;
  // IAsyncReader's flush (IPin's has the same signature and shares it; no
  // one sends a flush to an output pin).
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  struct Completed {
    IMediaSample* sample;
    ULONG_PTR user;
    HRESULT result;
  };

  // Reads the bytes the sample's times name into it; S_FALSE when the file
  // ended first (the sample's length and stop time then say what was read).
  HRESULT ReadIntoSample(IMediaSample* sample);

  FileSource* source_;
  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<Completed> completed_;
  bool flushing_ = false;
};

}  // namespace ksv::media::filters
