#include "platform/media/filters/acm_wrapper/acm_setup.h"

#include "platform/acm/acm_formats.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"

namespace ksv::media::acm {
namespace {

constexpr GUID kImaSubtype = FourccSubtype(platform::acm::kWaveFormatImaAdpcm);
constexpr GUID kALawSubtype = FourccSubtype(platform::acm::kWaveFormatALaw);
constexpr GUID kMuLawSubtype = FourccSubtype(platform::acm::kWaveFormatMuLaw);

const AMOVIESETUP_MEDIATYPE kCompressedTypes[] = {
    {&MEDIATYPE_Audio, &kImaSubtype}, {&MEDIATYPE_Audio, &kALawSubtype}, {&MEDIATYPE_Audio, &kMuLawSubtype}};
const AMOVIESETUP_MEDIATYPE kPcmType[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
// {name (unnamed), rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kDecoderPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 3, kCompressedTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kPcmType},
};

struct Compressor {
  const WCHAR* name;
  WORD tag;
  const AMOVIESETUP_MEDIATYPE* output;
};
const Compressor kCompressors[] = {
    {u"IMA ADPCM", platform::acm::kWaveFormatImaAdpcm, &kCompressedTypes[0]},
    {u"CCITT A-Law", platform::acm::kWaveFormatALaw, &kCompressedTypes[1]},
    {u"CCITT u-Law", platform::acm::kWaveFormatMuLaw, &kCompressedTypes[2]},
};

HRESULT RegisterCompressor(IFilterMapper2* mapper, const Compressor& compressor) {
  const AMOVIESETUP_PIN pins[] = {
      {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, kPcmType},
      {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, compressor.output},
  };
  REGFILTER2 record{};
  record.dwVersion = 1;
  record.dwMerit = MERIT_DO_NOT_USE;
  record.cPins = 2;
  record.rgPins = pins;
  com::ComPtr<IMoniker> moniker;
  HRESULT result = mapper->RegisterFilter(CLSID_ACMWrapper, compressor.name, moniker.GetAddressOf(),
                                          &CLSID_AudioCompressorCategory, compressor.name, &record);
  if (FAILED(result)) return result;
  com::ComPtr<IPropertyBag> bag;
  result = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf()));
  if (FAILED(result)) return result;
  VARIANT tag;
  VariantInit(&tag);
  tag.vt = VT_I4;
  tag.lVal = compressor.tag;
  return bag->Write(kAcmIdProperty, &tag);
}

}  // namespace

const AMOVIESETUP_FILTER kAcmWrapperSetup = {&CLSID_ACMWrapper, u"ACM Wrapper", MERIT_NORMAL, 2, kDecoderPins};

HRESULT RegisterAcmModule(const CFactoryTemplate* templates, int count, const void* addressInModule,
                          bool registering) {
  com::ComPtr<IFilterMapper2> mapper;
  HRESULT result = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                    reinterpret_cast<void**>(mapper.GetAddressOf()));
  if (registering) {
    if (FAILED(result)) return result;
    // The compressor entries first: the class key keeps the wrapper's own name.
    for (const Compressor& compressor : kCompressors) {
      if (FAILED(result = RegisterCompressor(mapper.Get(), compressor))) return result;
    }
    return RegisterTemplateSetups(templates, count, addressInModule, true);
  }
  if (SUCCEEDED(result)) {
    for (const Compressor& compressor : kCompressors) {
      mapper->UnregisterFilter(&CLSID_AudioCompressorCategory, compressor.name, CLSID_ACMWrapper);
    }
  }
  return RegisterTemplateSetups(templates, count, addressInModule, false);
}

}  // namespace ksv::media::acm
