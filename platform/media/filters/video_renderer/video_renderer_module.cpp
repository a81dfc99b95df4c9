// The Video Renderer plug-in's entry points.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_renderer/video_renderer.h"

namespace {

using ksv::media::videorenderer::VideoRenderer;

const CFactoryTemplate kTemplates[] = {
    {u"Video Renderer", &CLSID_VideoRenderer, VideoRenderer::CreateInstance, nullptr,
     VideoRenderer::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
