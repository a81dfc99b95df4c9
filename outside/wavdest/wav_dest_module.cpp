// The WAV Dest plug-in's entry points.
#include "outside/wavdest/wav_dest.h"
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"

namespace {

using ksv::media::wavdest::WavDest;

const CFactoryTemplate kTemplates[] = {
    {u"WAV Dest", &CLSID_WavDest, WavDest::CreateInstance, nullptr, WavDest::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
