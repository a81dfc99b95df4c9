// The File Source plug-in's entry points: its one class and its
// registration record (an output pin of MEDIATYPE_Stream, unlikely merit:
// the graph adds it for a file, it is never inserted between two pins).
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_source/file_source.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"File Source (Async.)", &CLSID_AsyncReader, ksv::media::filters::FileSource::CreateInstance,
     nullptr, &ksv::media::filters::kFileSourceSetup},
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
