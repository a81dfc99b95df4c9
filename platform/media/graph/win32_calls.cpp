#include "platform/media/graph/win32_calls.h"

#include <dlfcn.h>

namespace ksv::media::graph {
namespace {

template <class Function>
void Bind(Function* function, const char* name) {
  *function = reinterpret_cast<Function>(::dlsym(RTLD_DEFAULT, name));
}

}  // namespace

Win32Calls BoundWin32Calls() {
  Win32Calls calls;
  Bind(&calls.postMessage, "PostMessageA");
  Bind(&calls.createEvent, "CreateEventA");
  Bind(&calls.setEvent, "SetEvent");
  Bind(&calls.resetEvent, "ResetEvent");
  Bind(&calls.closeHandle, "CloseHandle");
  Bind(&calls.releaseSemaphore, "ReleaseSemaphore");
  return calls;
}

}  // namespace ksv::media::graph
