// The AVI Decompressor plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/avi_decompressor.h"

namespace {

using ksv::media::filters::AviDecompressor;
using ksv::media::filters::kAviDecompressorSetup;

const CFactoryTemplate kTemplates[] = {
    {u"AVI Decompressor", &CLSID_AVIDec, AviDecompressor::CreateInstance, nullptr,
     &kAviDecompressorSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
