// The AVI Splitter plug-in's entry points.
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_splitter/avi_splitter.h"

namespace {

using ksv::media::filters::AviSplitter;
using ksv::media::filters::kAviSplitterSetup;

const CFactoryTemplate kTemplates[] = {
    {u"AVI Splitter", &CLSID_AviSplitter, AviSplitter::CreateInstance, nullptr,
     &kAviSplitterSetup},
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
