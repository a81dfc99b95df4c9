#include "platform/com/tests/greeter_client.h"

#include "platform/com/inproc_servers.h"

namespace ksv::com::testing {

HRESULT CreateGreeter(ITestGreeter** greeter) {
  return CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(greeter));
}

}  // namespace ksv::com::testing
