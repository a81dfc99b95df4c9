#include "platform/media/filters/avi_splitter/avi_splitter.h"

#include <cstdio>
#include <string>

#include "platform/media/avi/async_reader_source.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_splitter/avi_stream_types.h"

namespace ksv::media::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kInputType = {&MEDIATYPE_Stream, &MEDIASUBTYPE_Avi};
const AMOVIESETUP_MEDIATYPE kOutputType = {&MEDIATYPE_Video, &GUID_NULL};
// {name, rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kInputType},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kOutputType},
};

std::u16string StreamPinName(size_t number) {
  char text[32];
  std::snprintf(text, sizeof(text), "Stream %02zu", number);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

}  // namespace

const AMOVIESETUP_FILTER kAviSplitterSetup = {&CLSID_AviSplitter, u"AVI Splitter", MERIT_NORMAL,
                                              2, kPins};

AviSplitter::AviSplitter() : CParserFilter("AVI Splitter", CLSID_AviSplitter, u"input pin") {}

CUnknown* AviSplitter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new AviSplitter();
}

const AMOVIESETUP_FILTER* AviSplitter::GetSetupData() { return &kAviSplitterSetup; }

HRESULT AviSplitter::CheckInputType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == MEDIASUBTYPE_Avi
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviSplitter::CreateOutputPins(IAsyncReader* reader) {
  avi::File file;
  try {
    avi::AsyncReaderSource source(reader);
    file = avi::ReadAvi(source);
  } catch (const avi::FormatError&) {
    return VFW_E_INVALID_FILE_FORMAT;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  int made = 0;
  for (size_t number = 0; number < file.streams.size(); ++number) {
    const avi::Stream& stream = file.streams[number];
    PullPlan plan = AviStreamPlan(stream);
    CMediaType type;
    // Text and other streams have no pin.
    if (!AviStreamMediaType(stream, plan, &type)) continue;
    HRESULT result = S_OK;
    const std::u16string name = StreamPinName(number);
    new CPullOutputPin(this, name.c_str(), type, std::move(plan), &result);  // the filter owns it
    if (FAILED(result)) return result;
    ++made;
  }
  return made > 0 ? S_OK : VFW_E_INVALID_FILE_FORMAT;
}

}  // namespace ksv::media::filters
