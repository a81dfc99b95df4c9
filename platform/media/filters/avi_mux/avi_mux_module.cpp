// The AVI Mux plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/avi_mux.h"

namespace {

using ksv::media::avimux::AviMux;

const CFactoryTemplate kTemplates[] = {
    {u"AVI Mux", &CLSID_AviDest, AviMux::CreateInstance, nullptr, AviMux::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
