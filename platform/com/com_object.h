// The IUnknown half of our COM objects: a thread-safe reference count that
// deletes the object at zero, and QueryInterface over the interfaces the
// class lists. An object is born with one reference, which its creator owns:
//
//   class Greeter : public ksv::com::ComObject<IGreeter, IPersist> { ... };
//   ksv::com::ComPtr<IGreeter> greeter = ksv::com::ComPtr<IGreeter>::Adopt(new Greeter);
//
// A class that answers further identifiers (base interfaces other than
// IUnknown, or aggregated parts) overrides FindInterface and calls the base.
#pragma once

#include <atomic>

#include "platform/com/unknown.h"

namespace ksv::com {

// A thread-safe count of references, born at one: the count every COM object
// keeps, and the one of handles that are counted the same way without being
// COM objects (the AVIFile handles). Its owner deletes itself when Drop
// answers 0.
class ReferenceCount {
 public:
  // The count after adding one.
  ULONG Add() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  // The count after dropping one.
  ULONG Drop() { return count_.fetch_sub(1, std::memory_order_acq_rel) - 1; }

 private:
  std::atomic<ULONG> count_{1};
};

template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = FindInterface(iid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.Add(); }
  ULONG Release() override {
    const ULONG left = references_.Drop();
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

  // The interface pointer `iid` names, uncounted, or null.
  virtual void* FindInterface(REFIID iid) {
    if (iid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<First*>(this));
    void* found = Match<First>(iid);
    ((found = found != nullptr ? found : Match<Rest>(iid)), ...);
    return found;
  }

 private:
  template <class Interface>
  void* Match(REFIID iid) {
    return iid == IidOf<Interface>() ? static_cast<Interface*>(this) : nullptr;
  }

  ReferenceCount references_;
};

}  // namespace ksv::com
