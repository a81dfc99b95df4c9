// The download source filter plug-in's entry points: one class, registered
// with the filter mapper from its registration record.
#include "dlfilter/download_source.h"
#include "include/dextro.h"
#include "platform/media/base/plugin_entry_points.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {kDownloadSourceFilterName, &CLSID_DownloadSourceFilter,
     ksv::dlfilter::DownloadSourceFilter::CreateInstance, nullptr,
     ksv::dlfilter::DownloadSourceFilter::Setup()},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
