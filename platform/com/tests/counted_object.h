// A test object that tells when it is destroyed.
#pragma once

#include <atomic>

#include "platform/com/com_object.h"
#include "platform/com/property_bag.h"

namespace ksv::com::testing {

class CountedObject : public ComObject<IPersist, IPropertyBag> {
 public:
  explicit CountedObject(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  HRESULT GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_NULL;
    return S_OK;
  }
  HRESULT Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_FAIL; }

 private:
  ~CountedObject() override { destroyed_->fetch_add(1); }
  std::atomic<int>* destroyed_;
};

}  // namespace ksv::com::testing
