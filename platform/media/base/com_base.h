// The COM base of the framework's objects, in the shape filters written for
// the platform's base classes expect: CUnknown with a non-delegating
// IUnknown (so an object can be aggregated), DECLARE_IUNKNOWN for the
// delegating half, GetInterface for NonDelegatingQueryInterface, and a count
// of live objects per module (CBaseObject) that DllCanUnloadNow consults.
#pragma once

#include <atomic>

#include "platform/com/unknown.h"

#define STDMETHODIMP HRESULT
#define STDMETHODIMP_(type) type

typedef IUnknown* LPUNKNOWN;
typedef char TCHAR;  // object names are for diagnostics only

// The object's own IUnknown, which an aggregating outer object calls.
struct INonDelegatingUnknown {
  virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG NonDelegatingAddRef() = 0;
  virtual ULONG NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

// Counts the module's live objects.
class CBaseObject {
 public:
  explicit CBaseObject(const TCHAR* name);
  virtual ~CBaseObject();
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;

  static LONG ObjectsActive();
  // Server locks taken through IClassFactory::LockServer.
  static void LockModule(bool lock);
  static LONG ModuleLocks();

 private:
  const TCHAR* name_;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  // `outer` is the aggregating object, or null for a standalone one.
  CUnknown(const TCHAR* name, LPUNKNOWN outer, HRESULT* result = nullptr);
  ~CUnknown() override = default;

  // Answers IUnknown only; derived classes add theirs and call this last.
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  ULONG NonDelegatingAddRef() override;
  // Deletes the object when the count reaches zero.
  ULONG NonDelegatingRelease() override;

  // Where the delegating IUnknown goes: the outer object, or our own.
  LPUNKNOWN GetOwner() const { return owner_; }

 protected:
  std::atomic<LONG> m_cRef{0};

 private:
  // Our own IUnknown, forwarding to the non-delegating methods.
  struct Inner final : IUnknown {
    explicit Inner(CUnknown& object) : object_(object) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
      return object_.NonDelegatingQueryInterface(iid, object);
    }
    ULONG AddRef() override { return object_.NonDelegatingAddRef(); }
    ULONG Release() override { return object_.NonDelegatingRelease(); }
    CUnknown& object_;
  };
  Inner inner_{*this};
  LPUNKNOWN owner_;
};

// Hands out `unknown` counted (through its owner): for NonDelegatingQueryInterface,
//   if (iid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter*>(this), object);
HRESULT GetInterface(LPUNKNOWN unknown, void** object);

// The delegating IUnknown of a class that derives from CUnknown and interfaces.
#define DECLARE_IUNKNOWN                                                  \
  HRESULT QueryInterface(REFIID iid, void** object) override {            \
    return GetOwner()->QueryInterface(iid, object);                       \
  }                                                                       \
  ULONG AddRef() override { return GetOwner()->AddRef(); }                \
  ULONG Release() override { return GetOwner()->Release(); }
