// The AVI Splitter: takes an AVI byte stream from a file source and offers
// each video and sound stream of the file on its own output pin ("Stream
// 00", "Stream 01", ... by the stream's number in the file).
#pragma once

#include "platform/media/filters/common/parser_filter.h"

namespace ksv::media::filters {

class AviSplitter final : public CParserFilter {
 public:
  AviSplitter();
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  const AMOVIESETUP_FILTER* GetSetupData() override;

 protected:
  // MEDIATYPE_Stream, MEDIASUBTYPE_Avi.
  HRESULT CheckInputType(const CMediaType* type) override;
  // VFW_E_INVALID_FILE_FORMAT when the file cannot be read as AVI.
  HRESULT CreateOutputPins(IAsyncReader* reader) override;
};

extern const AMOVIESETUP_FILTER kAviSplitterSetup;

}  // namespace ksv::media::filters
