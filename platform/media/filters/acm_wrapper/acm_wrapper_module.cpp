// The ACM plug-in's entry points: the ACM Wrapper, registered as a decoder
// and as the audio compressors.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/acm_wrapper/acm_setup.h"
#include "platform/media/filters/acm_wrapper/acm_wrapper.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {ksv::media::acm::kAcmWrapperName, &CLSID_ACMWrapper, ksv::media::acm::AcmWrapper::CreateInstance,
     nullptr, &ksv::media::acm::kAcmWrapperSetup},
};

}  // namespace

KSV_PLUGIN_ENTRY_POINTS_REGISTERED_BY(kTemplates, ::ksv::media::acm::RegisterAcmModule)
