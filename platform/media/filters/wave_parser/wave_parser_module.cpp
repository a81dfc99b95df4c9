// The Wave Parser plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/wave_parser/wave_parser.h"

namespace {

using ksv::media::filters::WaveParser;
using ksv::media::filters::kWaveParserSetup;

const CFactoryTemplate kTemplates[] = {
    {u"Wave Parser", &CLSID_WAVEParser, WaveParser::CreateInstance, nullptr,
     &kWaveParserSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
