// CMediaSeeking: IMediaSeeking for the media base classes, written once.
// As a pad answers a position query itself or passes it upstream, an object
// of this class answers in one of two ways, chosen when it is made:
// - for a stream it plays (a SeekableStream), in media time only: the whole
//   stream (start 0, stop at its duration) is the only range it takes
//   (E_NOTIMPL for any other), any rate above zero (E_INVALIDARG
//   otherwise), the current position the stream says, no preroll;
// - for a filter or pin that keeps no positions, by passing every call
//   upstream, to the output pin connected to its input pin: not connected,
//   VFW_E_NOT_CONNECTED; an upstream pin that does not seek, E_NOTIMPL.
//
// It holds no IUnknown of its own: the class that derives from it answers
// QueryInterface and counts references (DECLARE_IUNKNOWN).
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/filter_interfaces.h"

// What a stream that answers for itself tells CMediaSeeking (media time,
// 100-ns units). Called from any thread.
class SeekableStream {
 public:
  virtual REFERENCE_TIME StreamDuration() = 0;
  // Where the stream has got to: the stop time of its last sample.
  virtual REFERENCE_TIME StreamPosition() = 0;
  virtual double StreamRate() = 0;
  // `rate` is above zero and finite.
  virtual void ChangeStreamRate(double rate) = 0;

 protected:
  ~SeekableStream() = default;
};

class CMediaSeeking : public IMediaSeeking {
 public:
  HRESULT GetCapabilities(DWORD* capabilities) override;
  HRESULT CheckCapabilities(DWORD* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                       DWORD stopFlags) override;
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(LONGLONG* preroll) override;

 protected:
  // Answers for `stream` (which outlives this object).
  explicit CMediaSeeking(SeekableStream* stream) : stream_(stream) {}
  // Passes every call upstream of `input` (the owner's input pin, not
  // counted: it lives as long as the owner).
  explicit CMediaSeeking(IPin* input) : input_(input) {}
  ~CMediaSeeking() = default;

 private:
  // The stream's own answer (`own`), or `forward` called on the upstream
  // pin's IMediaSeeking.
  template <typename Forward, typename Own>
  HRESULT Answer(Forward forward, Own own);

  SeekableStream* const stream_ = nullptr;
  IPin* const input_ = nullptr;
};
