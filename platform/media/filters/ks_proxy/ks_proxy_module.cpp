// The kernel-streaming proxy plug-in's entry points: the proxy filter,
// registered as a class only (each camera's moniker in the video input
// category makes one for that camera), and the stream format page its
// capture pin names.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filters/ks_proxy/ks_proxy_filter.h"
#include "platform/media/pages/page_ids.h"
#include "platform/media/pages/stream_format_page.h"
#include "platform/media/registration_interfaces.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"KS Proxy", &CLSID_Proxy, ksv::media::filters::KsProxyFilter::CreateInstance, nullptr,
     nullptr},
    {u"Stream Format", &CLSID_VideoStreamConfigPropertyPage,
     ksv::media::pages::StreamFormatPage::CreateInstance, nullptr, nullptr},
};

}  // namespace

KSV_CLASS_PLUGIN_ENTRY_POINTS(kTemplates)
