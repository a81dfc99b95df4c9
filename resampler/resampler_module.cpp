// The converter plug-in's entry points: the filter and its property page.
// Registration lists the filter in the filter mapper through its
// IAMovieSetup; the page has none and is registered as a class only.
#include "platform/media/base/plugin_entry_points.h"
#include "resampler/converter_filter.h"
#include "resampler/rate_page.h"

namespace {

using ksv::resampler::SampleRateConverterFilter;
using ksv::resampler::SampleRatePage;

const CFactoryTemplate kTemplates[] = {
    {u"Tarvio Sample Rate Converter", &CLSID_SampleRateConverter,
     SampleRateConverterFilter::CreateInstance, nullptr, SampleRateConverterFilter::Setup()},
    {u"Tarvio Sample Rate Converter property page", &CLSID_SampleRateConverterPage,
     SampleRatePage::CreateInstance},
};

}  // namespace

KSV_CLASS_PLUGIN_ENTRY_POINTS(kTemplates)
