#include "platform/com/apartment.h"

#include <atomic>

namespace {

// Threads currently in the multithreaded apartment.
std::atomic<int> multithreadedThreads{0};

struct ThreadApartment {
  int count = 0;  // successful initialisations not yet undone
  bool multithreaded = false;
  // A thread that ends without uninitialising leaves its apartment.
  ~ThreadApartment() {
    if (count > 0 && multithreaded) multithreadedThreads.fetch_sub(1, std::memory_order_acq_rel);
  }
};

thread_local ThreadApartment apartment;

}  // namespace

HRESULT CoInitializeEx(void* reserved, DWORD coInit) {
  if (reserved != nullptr) return E_INVALIDARG;
  const bool multithreaded = (coInit & COINIT_APARTMENTTHREADED) == 0;
  if (apartment.count > 0) {
    if (apartment.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
  }
  apartment.count = 1;
  apartment.multithreaded = multithreaded;
  if (multithreaded) multithreadedThreads.fetch_add(1, std::memory_order_acq_rel);
  return S_OK;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (apartment.count == 0) return;
  if (--apartment.count == 0 && apartment.multithreaded) {
    multithreadedThreads.fetch_sub(1, std::memory_order_acq_rel);
  }
}

namespace ksv::com {

HRESULT CheckApartment() {
  if (apartment.count > 0 || multithreadedThreads.load(std::memory_order_acquire) > 0) return S_OK;
  return CO_E_NOTINITIALIZED;
}

}  // namespace ksv::com
