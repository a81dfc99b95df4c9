// The Wave Parser: takes a WAV byte stream from a file source and offers its
// sound on one output pin ("output").
#pragma once

#include "platform/media/filters/common/parser_filter.h"

namespace ksv::media::filters {

class WaveParser final : public CParserFilter {
 public:
  WaveParser();
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  const AMOVIESETUP_FILTER* GetSetupData() override;

 protected:
  // MEDIATYPE_Stream, MEDIASUBTYPE_WAVE (AU and AIFF are registered as the
  // platform registers them but not read).
  HRESULT CheckInputType(const CMediaType* type) override;
  // VFW_E_INVALID_FILE_FORMAT when the file cannot be read as WAV.
  HRESULT CreateOutputPins(IAsyncReader* reader) override;
};

extern const AMOVIESETUP_FILTER kWaveParserSetup;

}  // namespace ksv::media::filters
