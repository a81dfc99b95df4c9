// The AVI maker plug-in's entry points.
#include "outside/avimaker/avi_maker.h"
#include "platform/media/base/plugin_entry_points.h"

namespace {

using ksv::media::avimaker::AviMaker;

const CFactoryTemplate kTemplates[] = {
    {kAviMakerFriendlyName, &CLSID_RMC900AviMaker, AviMaker::CreateInstance, nullptr,
     AviMaker::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
