// Two one-pin filters to connect the File Source to: a parser-like filter
// whose input pulls (CReaderInputPin) and a sink whose input takes pushed
// samples (CBaseInputPin). Both take any MEDIATYPE_Stream.
#pragma once

#include "platform/media/base/reader_input_pin.h"
#include "platform/media/base/streams.h"

namespace ksv::media::testing {

class PullingPin : public CReaderInputPin {
 public:
  PullingPin(CBaseFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
  // Reads the first bytes as a parser would when it connects.
  HRESULT CompleteConnect(IPin* receivePin) override;
  BYTE firstBytes[4] = {};
};

class PushedPin : public CBaseInputPin {
 public:
  PushedPin(CBaseFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
};

// A filter with one input pin of type Pin.
template <class Pin>
class OneInputFilter : public CBaseFilter {
 public:
  OneInputFilter() : CBaseFilter("one input", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  Pin& pin() { return pin_; }

 private:
  CCritSec lock_;
  Pin pin_;
};

}  // namespace ksv::media::testing
