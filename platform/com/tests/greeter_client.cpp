#include "platform/com/tests/greeter_client.h"

#include <atomic>

#include "platform/com/inproc_servers.h"

namespace ksv::com::testing {

HRESULT CreateGreeter(ITestGreeter** greeter) {
  return CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(greeter));
}

namespace {
std::atomic<void (*)()> canUnloadHook{nullptr};
}  // namespace

void SetCanUnloadHook(void (*hook)()) { canUnloadHook = hook; }

void RunCanUnloadHook() {
  if (const auto hook = canUnloadHook.load()) hook();
}

}  // namespace ksv::com::testing
