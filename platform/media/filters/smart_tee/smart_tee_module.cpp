// The Smart Tee plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/smart_tee/smart_tee.h"

namespace {

using ksv::media::smarttee::SmartTee;

const CFactoryTemplate kTemplates[] = {
    {u"Smart Tee", &CLSID_SmartTee, SmartTee::CreateInstance, nullptr, SmartTee::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
