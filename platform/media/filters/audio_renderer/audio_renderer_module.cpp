// The audio renderer plug-in's entry points. Its filter is registered twice,
// as the platform lists it: among the filters that intelligent connection
// tries, and in the audio renderer category that applications enumerate to
// choose a sound device.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/audio_renderer/audio_renderer.h"
#include "platform/media/registration/filter_setup.h"

namespace {

using ksv::media::audiorenderer::AudioRenderer;

const CFactoryTemplate kTemplates[] = {
    {u"Default DirectSound Device", &CLSID_DSoundRender, AudioRenderer::CreateInstance, nullptr,
     AudioRenderer::Setup()},
};

HRESULT RegisterInBoth(const CFactoryTemplate* templates, int count, const void* addressInModule,
                       bool registering) {
  if (registering) {
    const HRESULT result =
        ksv::media::RegisterTemplateSetups(templates, count, addressInModule, true);
    if (FAILED(result)) return result;
    return ksv::media::RegisterFilterWithMapper(*AudioRenderer::Setup(),
                                                &CLSID_AudioRendererCategory);
  }
  const HRESULT result = ksv::media::UnregisterFilterFromMapper(*AudioRenderer::Setup(),
                                                                &CLSID_AudioRendererCategory);
  const HRESULT classResult =
      ksv::media::RegisterTemplateSetups(templates, count, addressInModule, false);
  return FAILED(result) ? result : classResult;
}

}  // namespace

KSV_PLUGIN_ENTRY_POINTS_REGISTERED_BY(kTemplates, RegisterInBoth)
