#include "platform/media/filters/wave_parser/wave_parser.h"

#include "platform/media/avi/async_reader_source.h"
#include "platform/media/avi/wav_file.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/common/audio_type.h"
#include "platform/media/filters/common/pull_output_pin.h"
#include "platform/media/filters/wave_parser/wave_plan.h"

namespace ksv::media::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_WAVE},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_AU},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_AIFF},
};
const AMOVIESETUP_MEDIATYPE kOutputType = {&MEDIATYPE_Audio, &GUID_NULL};
// {name, rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 3, kInputTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kOutputType},
};

}  // namespace

const AMOVIESETUP_FILTER kWaveParserSetup = {&CLSID_WAVEParser, u"Wave Parser", MERIT_UNLIKELY, 2,
                                             kPins};

WaveParser::WaveParser() : CParserFilter("Wave Parser", CLSID_WAVEParser, u"input pin") {}

CUnknown* WaveParser::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new WaveParser();
}

const AMOVIESETUP_FILTER* WaveParser::GetSetupData() { return &kWaveParserSetup; }

HRESULT WaveParser::CheckInputType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == MEDIASUBTYPE_WAVE
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT WaveParser::CreateOutputPins(IAsyncReader* reader) {
  avi::WavFile file;
  try {
    avi::AsyncReaderSource source(reader);
    file = avi::ReadWav(source);
  } catch (const avi::FormatError&) {
    return VFW_E_INVALID_FILE_FORMAT;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  CMediaType type;
  if (!AudioMediaType(file.format, &type)) return VFW_E_INVALID_FILE_FORMAT;
  HRESULT result = S_OK;
  new CPullOutputPin(this, u"output", type, WavePlan(file), &result);  // the filter owns it
  return result;
}

}  // namespace ksv::media::filters
