#include "platform/media/base/factory.h"

#include <new>

#include "platform/com/com_object.h"

namespace {

class TemplateFactory final : public ksv::com::ComObject<IClassFactory>, public CBaseObject {
 public:
  explicit TemplateFactory(const CFactoryTemplate& entry)
      : CBaseObject("class factory"), entry_(entry) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregating object may ask only for our own IUnknown.
    if (outer != nullptr && iid != IID_IUnknown) return E_NOINTERFACE;
    HRESULT result = S_OK;
    CUnknown* created = entry_.CreateInstance(outer, &result);
    if (created == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
    created->NonDelegatingAddRef();
    if (SUCCEEDED(result)) result = created->NonDelegatingQueryInterface(iid, object);
    created->NonDelegatingRelease();
    return result;
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

}  // namespace ksv::media
