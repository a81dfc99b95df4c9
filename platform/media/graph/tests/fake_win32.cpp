// The Win32 calls the media module finds in the process, as this test
// program offers them (exported: the module looks them up by name).
#include <mutex>
#include <vector>

#include "platform/media/graph/tests/graph_test_support.h"
#include "platform/media/graph/tests/test_filters.h"

namespace ksv::media::graph::testing {
namespace {
std::mutex postedLock;
std::vector<PostedMessage> posted;
}  // namespace

std::vector<PostedMessage> TakePostedMessages() {
  std::lock_guard guard(postedLock);
  return std::exchange(posted, {});
}

}  // namespace ksv::media::graph::testing

using ksv::media::graph::testing::PostedMessage;

extern "C" __attribute__((visibility("default"))) BOOL PostMessageA(HWND window, UINT message,
                                                                     uintptr_t wParam,
                                                                     intptr_t lParam) {
  std::lock_guard guard(ksv::media::graph::testing::postedLock);
  ksv::media::graph::testing::posted.push_back({window, message, wParam, lParam});
  return TRUE;
}

extern "C" __attribute__((visibility("default"))) BOOL SetEvent(void* event) {
  static_cast<ksv::media::graph::testing::WaitEvent*>(event)->Set();
  return TRUE;
}
