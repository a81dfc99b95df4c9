// The AVI Splitter plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_splitter/avi_splitter.h"

namespace {

using ksv::media::filters::AviSplitter;
using ksv::media::filters::kAviSplitterSetup;

const CFactoryTemplate kTemplates[] = {
    {u"AVI Splitter", &CLSID_AviSplitter, AviSplitter::CreateInstance, nullptr,
     &kAviSplitterSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
