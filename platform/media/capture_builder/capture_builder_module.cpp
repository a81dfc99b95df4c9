// The capture graph builder's plug-in (ksvcapture): both class identifiers
// make the same object.
#include "include/ksv_export.h"
#include "platform/media/base/factory.h"
#include "platform/media/capture_builder/capture_graph_builder.h"

namespace {

using ksv::media::capture::CaptureGraphBuilder;

const CFactoryTemplate kTemplates[] = {
    {u"Capture Graph Builder", &CLSID_CaptureGraphBuilder, CaptureGraphBuilder::CreateInstance},
    {u"Capture Graph Builder 2", &CLSID_CaptureGraphBuilder2,
     CaptureGraphBuilder::CreateInstance},
};
constexpr int kTemplateCount = 2;

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, kTemplateCount, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterTemplates(kTemplates, kTemplateCount,
                                       reinterpret_cast<const void*>(&DllRegisterServer), true);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::RegisterTemplates(kTemplates, kTemplateCount, nullptr, false);
}
