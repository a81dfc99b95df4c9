#include "platform/media/base/com_base.h"

namespace {
std::atomic<LONG> g_objects{0};
std::atomic<LONG> g_locks{0};
}  // namespace

CBaseObject::CBaseObject(const TCHAR* name) : name_(name) {
  g_objects.fetch_add(1, std::memory_order_relaxed);
}
CBaseObject::~CBaseObject() { g_objects.fetch_sub(1, std::memory_order_acq_rel); }
LONG CBaseObject::ObjectsActive() { return g_objects.load(std::memory_order_acquire); }
void CBaseObject::LockModule(bool lock) {
  if (lock) {
    g_locks.fetch_add(1, std::memory_order_relaxed);
  } else {
    g_locks.fetch_sub(1, std::memory_order_acq_rel);
  }
}
LONG CBaseObject::ModuleLocks() { return g_locks.load(std::memory_order_acquire); }

CUnknown::CUnknown(const TCHAR* name, LPUNKNOWN outer, HRESULT* /*result*/)
    : CBaseObject(name), owner_(outer != nullptr ? outer : &inner_) {}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown) return GetInterface(&inner_, object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CUnknown::NonDelegatingRelease() {
  const LONG left = --m_cRef;
  if (left == 0) {
    // A destructor that hands out and releases references must not come
    // back here: keep the count off zero while it runs.
    m_cRef = 1;
    delete this;
  }
  return static_cast<ULONG>(left);
}

HRESULT GetInterface(LPUNKNOWN unknown, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = unknown;
  unknown->AddRef();
  return S_OK;
}
