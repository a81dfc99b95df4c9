// A small in-process server: one class, ITestGreeter, registered and
// unregistered by its own entry points.
#include <new>
#include <string>

#include "include/ksv_export.h"
#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_object.h"
#include "platform/com/module_locks.h"
#include "platform/com/tests/greeter_client.h"
#include "platform/com/tests/plugin/test_greeter.h"

namespace {

using ksv::com::ComObject;
using ksv::com::ModuleLocks;

ModuleLocks moduleLocks;

class Greeter : public ComObject<ITestGreeter> {
 public:
  HRESULT Add(LONG a, LONG b, LONG* sum) override {
    if (sum == nullptr) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }
  HRESULT Greet(LPCOLESTR name, BSTR* greeting) override {
    if (name == nullptr || greeting == nullptr) return E_POINTER;
    const std::u16string text = u"Hello, " + std::u16string(name) + u"!";
    *greeting = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *greeting != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetModuleMark(uintptr_t* mark) override {
    if (mark == nullptr) return E_POINTER;
    *mark = reinterpret_cast<uintptr_t>(&moduleLocks);
    return S_OK;
  }

 private:
  ModuleLocks::Hold hold_{moduleLocks};
};

class GreeterFactory : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* greeter = new (std::nothrow) Greeter;
    if (greeter == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = greeter->QueryInterface(iid, object);
    greeter->Release();
    return result;
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
  ModuleLocks::Hold hold_{moduleLocks};
};

}  // namespace

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_TestGreeter) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) GreeterFactory;
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() {
  ksv::com::testing::RunCanUnloadHook();
  return moduleLocks.CanUnloadNow();
}

extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
  return ksv::com::RegisterInprocServer(CLSID_TestGreeter, kTestGreeterName, "Both",
                                        reinterpret_cast<const void*>(&DllRegisterServer));
}

extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {
  return ksv::com::UnregisterInprocServer(CLSID_TestGreeter);
}
