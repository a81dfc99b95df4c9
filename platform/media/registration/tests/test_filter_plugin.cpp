// A filter plug-in for the registration tests: two pin-less filters that
// register themselves through the setup helper, with different merits and
// input types.
#include "include/ksv_export.h"
#include "platform/media/base/streams.h"
#include "platform/media/registration/tests/test_filter_ids.h"

namespace {

using namespace ksv::media::registration::testing;

class PinlessFilter : public CBaseFilter {
 public:
  explicit PinlessFilter(REFCLSID clsid) : CBaseFilter("pinless", nullptr, &lock_, clsid) {}
  int GetPinCount() override { return 0; }
  CBasePin* GetPin(int /*index*/) override { return nullptr; }

 private:
  CCritSec lock_;
};

template <const CLSID* Clsid>
CUnknown* NewFilter(LPUNKNOWN /*outer*/, HRESULT* result) {
  *result = S_OK;
  return new PinlessFilter(*Clsid);
}

// Alpha takes any video; Beta only RGB24 and renders it.
const AMOVIESETUP_MEDIATYPE kAnyVideo = {&MEDIATYPE_Video, nullptr};
const AMOVIESETUP_MEDIATYPE kRgb24 = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
const AMOVIESETUP_PIN kAlphaPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kAnyVideo},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kAnyVideo},
};
const AMOVIESETUP_PIN kBetaPins[] = {
    {nullptr, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kRgb24},
};
const AMOVIESETUP_FILTER kAlpha = {&kAlphaClsid, kAlphaName, MERIT_UNLIKELY, 2, kAlphaPins};
const AMOVIESETUP_FILTER kBeta = {&kBetaClsid, kBetaName, MERIT_NORMAL, 1, kBetaPins};

const CFactoryTemplate kTemplates[] = {
    {kAlphaName, &kAlphaClsid, NewFilter<&kAlphaClsid>, nullptr, &kAlpha},
    {kBetaName, &kBetaClsid, NewFilter<&kBetaClsid>, nullptr, &kBeta},
};

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::media::GetClassObjectFromTemplates(kTemplates, 2, clsid, iid, object);
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ksv::media::CanUnloadNow(); }

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::media::RegisterTemplateSetups(
      kTemplates, 2, reinterpret_cast<const void*>(&DllRegisterServer), true);
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::media::RegisterTemplateSetups(kTemplates, 2, nullptr, false);
}
