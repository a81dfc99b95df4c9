// OKSV1WIA's entry points: the class factory of the device object. The
// module registers nothing itself; `ksvcam setup` registers its class.
#include "include/ksv_export.h"
#include "platform/com/class_factory.h"
#include "platform/com/com_method.h"
#include "platform/com/com_object.h"
#include "support/no_throw.h"
#include "wia/usd_device.h"

namespace ksv::wia {
namespace {

class DeviceFactory final : public com::ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const bool known = iid == IID_IUnknown || iid == IStiUSD::kIid || iid == IID_TestUsdDeviceCreate;
    if (!known || (outer != nullptr && iid != IID_IUnknown)) {
      return outer != nullptr ? CLASS_E_NOAGGREGATION : E_NOINTERFACE;
    }
    return com::ComMethod([&]() -> HRESULT {
      auto* device = new TestUsdDevice(outer);
      IUnknown* inner = device->Inner();
      HRESULT result = S_OK;
      if (outer != nullptr) {
        *object = inner;  // the outer object owns the birth reference
      } else {
        // The interface the caller asked for; the identifier only this
        // factory knows gives the device's still-image face.
        result = inner->QueryInterface(iid == IID_TestUsdDeviceCreate ? IStiUSD::kIid : iid, object);
        inner->Release();
      }
      return result;
    });
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      ModuleLocks().Lock();
    } else {
      ModuleLocks().Unlock();
    }
    return S_OK;
  }

 private:
  com::ModuleLocks::Hold hold_{ModuleLocks()};
};

}  // namespace
}  // namespace ksv::wia

extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  using namespace ksv;
  if (object == nullptr) return E_FAIL;
  *object = nullptr;
  if (clsid != wia::CLSID_TestUsdDevice) return E_FAIL;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  return com::ComMethod([&]() -> HRESULT {
    auto* factory = new wia::DeviceFactory;
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
  });
}

extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() {
  return ksv::support::NoThrow(S_FALSE, [] { return ksv::wia::ModuleLocks().CanUnloadNow(); });
}
