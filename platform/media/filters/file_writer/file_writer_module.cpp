// The File writer plug-in's entry points: its one class and its
// registration record (an input pin of MEDIATYPE_Stream, merit "do not
// use": an application adds it by name, the graph never picks it).
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_writer/file_writer.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"File writer", &CLSID_FileWriter, ksv::media::filters::FileWriter::CreateInstance, nullptr,
     &ksv::media::filters::kFileWriterSetup},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, kTemplateCount, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterTemplateSetups(
      kTemplates, kTemplateCount, reinterpret_cast<const void*>(&DllRegisterServer), true);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::RegisterTemplateSetups(kTemplates, kTemplateCount, nullptr, false);
}
