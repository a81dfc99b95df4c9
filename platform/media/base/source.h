// CSource and CSourceStream: a push source whose output pins each run a
// worker thread. The thread starts when the filter leaves the stopped state
// and takes commands (CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT)
// from the filter; its loop fills samples (FillBuffer) and delivers them
// until FillBuffer ends the stream or a command arrives.
#pragma once

#include <vector>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"
#include "platform/media/base/sync.h"

class CSourceStream;

class CSource : public CBaseFilter {
 public:
  CSource(const TCHAR* name, LPUNKNOWN outer, CLSID clsid, HRESULT* result = nullptr);
  // Deletes the pins that remain.
  ~CSource() override;

  int GetPinCount() override;
  CBasePin* GetPin(int index) override;
  // The pins join and leave as they are made and deleted.
  HRESULT AddPin(CSourceStream* pin);
  HRESULT RemovePin(CSourceStream* pin);
  // The pin's index, -1 when it is not ours.
  int FindPinNumber(IPin* pin);

  // State changes start and stop the pins' threads without holding the
  // filter's lock while a thread answers, so a thread may take the lock at
  // any time (to read the state, in its hooks).
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;

  CCritSec* pStateLock() { return &m_cStateLock; }

 protected:
  CCritSec m_cStateLock;                    // the filter's lock
  std::vector<CSourceStream*> m_paStreams;  // the pins, in order

 private:
  HRESULT ChangeState(FILTER_STATE target, REFERENCE_TIME start);
  CCritSec stateChange_;  // one state change at a time
};

class CSourceStream : public CAMThread, public CBaseOutputPin {
 public:
  // Adds itself to `filter`'s pins.
  CSourceStream(const TCHAR* objectName, HRESULT* result, CSource* filter, LPCWSTR pinName);
  ~CSourceStream() override;

  enum Command : DWORD { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };
  using CBaseOutputPin::Run;  // the pin's Run(start), beside the command

  // Starts the thread (Init, then Pause) / stops and ends it. Called by
  // the filter without its lock held.
  HRESULT Active() override;
  HRESULT Inactive() override;

  // The pin checks types against the one type it offers; override for more.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  // A single-type pin overrides this one instead (with
  // `using CSourceStream::GetMediaType;` to keep the other in view).
  virtual HRESULT GetMediaType(CMediaType* type);

 protected:
  // Fills one sample: S_OK to deliver it, S_FALSE to end the stream, an
  // error to abort it (EC_ERRORABORT, then the end of stream).
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  // Hooks on the worker: after CMD_INIT, before it ends, and each time the
  // loop starts.
  virtual HRESULT OnThreadCreate() { return S_OK; }
  virtual HRESULT OnThreadDestroy() { return S_OK; }
  virtual HRESULT OnThreadStartPlay() { return S_OK; }
  // The worker: waits for CMD_INIT, then serves commands; CMD_PAUSE and
  // CMD_RUN enter DoBufferProcessingLoop. Replaceable.
  DWORD ThreadProc() override;
  // Delivers samples until FillBuffer ends the stream, delivery fails or a
  // command arrives (answered here unless it is CMD_STOP); S_FALSE on stop.
  virtual HRESULT DoBufferProcessingLoop();

  HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
  HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
  HRESULT Run() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
  HRESULT Pause() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
  HRESULT Stop() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
  Command GetRequest() { return static_cast<Command>(CAMThread::GetRequest()); }
  BOOL CheckRequest(Command* command);

  CSource* m_pFilter;
};
