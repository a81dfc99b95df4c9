// The File Source plug-in's entry points: its one class and its
// registration record (an output pin of MEDIATYPE_Stream, unlikely merit:
// the graph adds it for a file, it is never inserted between two pins).
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_source/file_source.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"File Source (Async.)", &CLSID_AsyncReader, ksv::media::filters::FileSource::CreateInstance,
     nullptr, &ksv::media::filters::kFileSourceSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
