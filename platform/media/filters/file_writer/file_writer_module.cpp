// The File writer plug-in's entry points: its one class and its
// registration record (an input pin of MEDIATYPE_Stream, merit "do not
// use": an application adds it by name, the graph never picks it).
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_writer/file_writer.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"File writer", &CLSID_FileWriter, ksv::media::filters::FileWriter::CreateInstance, nullptr,
     &ksv::media::filters::kFileWriterSetup},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
