// The capture graph builder's plug-in (ksvcapture): both class identifiers
// make the same object.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/capture_builder/capture_graph_builder.h"

namespace {

using ksv::media::capture::CaptureGraphBuilder;

const CFactoryTemplate kTemplates[] = {
    {u"Capture Graph Builder", &CLSID_CaptureGraphBuilder, CaptureGraphBuilder::CreateInstance},
    {u"Capture Graph Builder 2", &CLSID_CaptureGraphBuilder2,
     CaptureGraphBuilder::CreateInstance},
};

}  // namespace

KSV_CLASS_PLUGIN_ENTRY_POINTS(kTemplates)
