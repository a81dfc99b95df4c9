// CReaderInputPin: the input pin of a parser (splitter). It does not take
// pushed samples: it connects to an output pin that offers IAsyncReader (a
// file source) and keeps that reader, from which its filter pulls what it
// needs on its own threads. What media types it takes is the derived pin's
// CheckMediaType; a derived pin's CompleteConnect is where its filter reads
// the stream's headers and makes its output pins.
#pragma once

#include "platform/media/base/pins.h"
#include "platform/media/config_interfaces.h"

class CReaderInputPin : public CBasePin {
 public:
  CReaderInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                  LPCWSTR pinName);
  ~CReaderInputPin() override;

  // The peer must be an output pin offering IAsyncReader.
  HRESULT CheckConnect(IPin* pin) override;
  // Lets the reader go.
  HRESULT BreakConnect() override;

  // Nothing is pushed to this pin, so the stream calls have nothing to do.
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT EndOfStream() override { return S_OK; }

  // The connected reader (not counted: valid while connected), or null.
  IAsyncReader* Reader() const { return m_pReader; }

 protected:
  IAsyncReader* m_pReader = nullptr;  // counted
};
