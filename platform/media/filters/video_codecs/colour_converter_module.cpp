// The Color Space Converter plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/colour_converter.h"

namespace {

using ksv::media::filters::ColourConverter;
using ksv::media::filters::kColourConverterSetup;

const CFactoryTemplate kTemplates[] = {
    {u"Color Space Converter", &CLSID_Colour, ColourConverter::CreateInstance, nullptr,
     &kColourConverterSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
