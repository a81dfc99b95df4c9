// What an in-process server counts to answer DllCanUnloadNow: its live
// objects and the locks its class factories hold (IClassFactory::LockServer).
// Each server keeps one ModuleLocks; every object it hands out holds a
// ModuleLocks::Hold for its life.
#pragma once

#include <atomic>

#include "platform/com/hresult.h"

namespace ksv::com {

class ModuleLocks {
 public:
  void Lock() { count_.fetch_add(1, std::memory_order_relaxed); }
  void Unlock() { count_.fetch_sub(1, std::memory_order_acq_rel); }
  // S_OK when nothing holds the module, S_FALSE otherwise: DllCanUnloadNow's
  // answer.
  HRESULT CanUnloadNow() const {
    return count_.load(std::memory_order_acquire) == 0 ? S_OK : S_FALSE;
  }

  // One lock for as long as it lives.
  class Hold {
   public:
    explicit Hold(ModuleLocks& locks) : locks_(locks) { locks_.Lock(); }
    ~Hold() { locks_.Unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    ModuleLocks& locks_;
  };

 private:
  std::atomic<long> count_{0};
};

}  // namespace ksv::com
