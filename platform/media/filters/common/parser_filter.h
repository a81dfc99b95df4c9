// CParserFilter: a parser (splitter) on the base classes. Its first pin is a
// reader input pin; when that pin connects to a file source the derived
// filter reads the stream's headers and makes its output pins (each a
// CPullOutputPin with its own streaming thread), and when it disconnects
// the output pins are disconnected and removed. State changes start and
// stop the output pins' threads as a source filter's do.
#pragma once

#include <vector>

#include "platform/media/base/reader_input_pin.h"
#include "platform/media/base/source.h"

namespace ksv::media::filters {

class CParserFilter : public CSource {
 public:
  // The input pin is named `inputName`.
  CParserFilter(const TCHAR* name, REFCLSID clsid, LPCWSTR inputName);
  ~CParserFilter() override;

  // The input pin, then the output pins in the order they were made.
  int GetPinCount() override;
  CBasePin* GetPin(int index) override;

  // The reader the input pin holds (valid while it is connected), or null.
  IAsyncReader* Reader() const;

 protected:
  // S_OK when the input takes this stream type.
  virtual HRESULT CheckInputType(const CMediaType* type) = 0;
  // Reads the headers through `reader` and makes the output pins. A
  // failure fails the connection; the pins made so far are removed.
  virtual HRESULT CreateOutputPins(IAsyncReader* reader) = 0;

 private:
  class InputPin;
  // Disconnects the output pins and takes them out of the filter. They are
  // kept until the filter goes, since a caller may still hold one.
  void RemoveOutputPins();

  InputPin* input_;
  std::vector<CSourceStream*> retired_;
};

}  // namespace ksv::media::filters
