// The caption filter plug-in's entry points.
#include "outside/caption/caption_filter.h"
#include "platform/media/base/plugin_entry_points.h"

namespace {

using ksv::media::caption::CaptionFilter;

const CFactoryTemplate kTemplates[] = {
    {kCaptionFriendlyName, &CLSID_MocamVideoCaption, CaptionFilter::CreateInstance, nullptr,
     CaptionFilter::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
