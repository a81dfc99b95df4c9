// The media framework's in-process server: the filter graph manager, the
// system reference clock, the filter mapper and the system device
// enumerator, registered and created by class identifier.
#include <new>

#include "support/no_throw.h"
#include "include/ksv_export.h"
#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_method.h"
#include "platform/com/com_object.h"
#include "platform/com/module_locks.h"
#include "platform/media/graph/filter_graph.h"
#include "platform/media/graph/system_clock.h"
#include "platform/media/media_guids.h"
#include "platform/media/registration/device_enumerator.h"
#include "platform/media/registration/filter_mapper.h"

namespace {

using ksv::com::ComObject;
using ksv::com::ModuleLocks;

ModuleLocks moduleLocks;

// Each object holds the module for its life.
template <class Base>
class Held final : public Base {
 public:
  using Base::Base;

 private:
  ModuleLocks::Hold hold_{moduleLocks};
};

template <class Object>
HRESULT CreateObject(REFIID iid, void** object) {
  auto* made = new (std::nothrow) Held<Object>();
  if (made == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = made->QueryInterface(iid, object);
  made->Release();
  return result;
}

class Factory final : public ComObject<IClassFactory> {
 public:
  explicit Factory(HRESULT (*create)(REFIID, void**)) : create_(create) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      moduleLocks.Lock();
    } else {
      moduleLocks.Unlock();
    }
    return S_OK;
  }

 private:
  HRESULT (*const create_)(REFIID, void**);
  ModuleLocks::Hold hold_{moduleLocks};
};

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  HRESULT (*create)(REFIID, void**) = nullptr;
  if (clsid == CLSID_FilterGraph) create = &CreateObject<ksv::media::graph::FilterGraph>;
  if (clsid == CLSID_SystemClock) create = &CreateObject<ksv::media::graph::SystemClock>;
  if (clsid == CLSID_FilterMapper2) {
    create = &CreateObject<ksv::media::registration::FilterMapper>;
  }
  if (clsid == CLSID_SystemDeviceEnum) {
    create = &CreateObject<ksv::media::registration::SystemDeviceEnum>;
  }
  if (create == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) Factory(create);
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

struct ModuleClass {
  const CLSID* clsid;
  const char* name;
};
constexpr ModuleClass kClasses[] = {
    {&CLSID_FilterGraph, "Filter Graph"},
    {&CLSID_SystemClock, "System Clock"},
    {&CLSID_FilterMapper2, "Filter Mapper2"},
    {&CLSID_SystemDeviceEnum, "System Device Enum"},
};

HRESULT Register(const void* addressInModule) {
  for (const ModuleClass& entry : kClasses) {
    const HRESULT result =
        ksv::com::RegisterInprocServer(*entry.clsid, entry.name, "Both", addressInModule);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT Unregister() {
  HRESULT first = S_OK;
  for (const ModuleClass& entry : kClasses) {
    const HRESULT result = ksv::com::UnregisterInprocServer(*entry.clsid);
    if (FAILED(result) && SUCCEEDED(first)) first = result;
  }
  return first;
}

}  // namespace

// No exception leaves an entry point: a failed allocation answers
// E_OUTOFMEMORY, and DllCanUnloadNow answers S_FALSE (stay loaded).
extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return ksv::com::ComMethod([&] { return GetClassObject(clsid, iid, object); });
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() {
  return ksv::support::NoThrow(S_FALSE, [] { return moduleLocks.CanUnloadNow(); });
}

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::com::ComMethod(
      [] { return Register(reinterpret_cast<const void*>(&DllRegisterServer)); });
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::com::ComMethod([] { return Unregister(); });
}
