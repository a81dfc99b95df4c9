#include "platform/media/base/factory.h"

#include <new>
#include <string>

#include "platform/com/class_registry.h"
#include "platform/com/com_method.h"
#include "platform/com/com_object.h"
#include "platform/com/wide_text.h"
#include "platform/media/registration/filter_setup.h"
#include "platform/media/registration_interfaces.h"
#include "platform/media/vfw_errors.h"

namespace {

class TemplateFactory final : public ksv::com::ComObject<IClassFactory>, public CBaseObject {
 public:
  explicit TemplateFactory(const CFactoryTemplate& entry)
      : CBaseObject("class factory"), entry_(entry) {}

  // A constructor that throws (out of memory) fails the creation: nothing
  // thrown leaves the plug-in.
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregating object may ask only for our own IUnknown.
    if (outer != nullptr && iid != IID_IUnknown) return E_NOINTERFACE;
    return ksv::com::ComMethod([&]() -> HRESULT {
      HRESULT result = S_OK;
      CUnknown* created = entry_.CreateInstance(outer, &result);
      if (created == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
      created->NonDelegatingAddRef();
      if (SUCCEEDED(result)) result = created->NonDelegatingQueryInterface(iid, object);
      created->NonDelegatingRelease();
      return result;
    });
  }
  HRESULT LockServer(BOOL lock) override {
    CBaseObject::LockModule(lock != FALSE);
    return S_OK;
  }

 private:
  const CFactoryTemplate& entry_;
};

}  // namespace

namespace ksv::media {

HRESULT GetClassObjectFromTemplates(const CFactoryTemplate* templates, int count, REFCLSID clsid,
                                    REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  for (int i = 0; i < count; ++i) {
    if (!templates[i].IsClassID(clsid)) continue;
    auto* factory = new (std::nothrow) TemplateFactory(templates[i]);
    if (factory == nullptr) return E_OUTOFMEMORY;
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() {
  return CBaseObject::ObjectsActive() == 0 && CBaseObject::ModuleLocks() == 0 ? S_OK : S_FALSE;
}

namespace {

// The filter of one template in (or out of) the filter mapper through its
// IAMovieSetup; S_OK for a class without one.
HRESULT SetUpThroughObject(const CFactoryTemplate& entry, bool registering) {
  HRESULT result = S_OK;
  CUnknown* object = entry.CreateInstance(nullptr, &result);
  if (object == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
  object->NonDelegatingAddRef();
  IAMovieSetup* setup = nullptr;
  result = object->NonDelegatingQueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup));
  // E_NOINTERFACE, or VFW_E_NEED_OWNER from an object that cannot answer
  // without its owner: nothing of this class goes into the mapper.
  if (result == E_NOINTERFACE || result == VFW_E_NEED_OWNER) {
    result = S_OK;
  } else if (SUCCEEDED(result)) {
    result = setup->Unregister();
    if (registering) result = setup->Register();
    setup->Release();
  }
  object->NonDelegatingRelease();
  return FAILED(result) ? result : S_OK;
}

}  // namespace

HRESULT RegisterTemplateSetups(const CFactoryTemplate* templates, int count,
                               const void* addressInModule, bool registering) {
  HRESULT first = S_OK;
  for (int i = 0; i < count; ++i) {
    const AMOVIESETUP_FILTER* setup = templates[i].m_pAMovieSetup_Filter;
    if (setup == nullptr) continue;
    const HRESULT result = registering ? RegisterFilterSetup(*setup, addressInModule)
                                       : UnregisterFilterSetup(*setup);
    if (FAILED(result) && registering) return result;
    if (FAILED(result) && SUCCEEDED(first)) first = result;
  }
  return first;
}

HRESULT RegisterTemplates(const CFactoryTemplate* templates, int count,
                          const void* addressInModule, bool registering) {
  HRESULT first = S_OK;
  const auto keep = [&first](HRESULT result) {
    if (FAILED(result) && SUCCEEDED(first)) first = result;
  };
  for (int i = 0; i < count; ++i) {
    const CFactoryTemplate& entry = templates[i];
    if (registering) {
      const std::string name = com::Utf16ToUtf8(com::WideView(entry.m_Name));
      keep(com::RegisterInprocServer(*entry.m_ClsID, name.c_str(), "Both", addressInModule));
    }
    keep(SetUpThroughObject(entry, registering));
    if (!registering) keep(com::UnregisterInprocServer(*entry.m_ClsID));
  }
  return first;
}

}  // namespace ksv::media
