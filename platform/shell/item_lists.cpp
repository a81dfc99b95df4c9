// Item identifier lists: a block of task memory holding a folder's path.
#include <cstring>
#include <string>

#include "platform/com/task_memory.h"
#include "platform/shell/item_lists.h"
#include "support/no_throw.h"

namespace ksv::platform::shell {

LPITEMIDLIST MakeItemList(const std::string& path) {
  void* block = CoTaskMemAlloc(path.size() + 1);
  if (block != nullptr) std::memcpy(block, path.c_str(), path.size() + 1);
  return static_cast<LPITEMIDLIST>(block);
}

std::string PathOf(LPCITEMIDLIST list) { return list != nullptr ? reinterpret_cast<const char*>(list) : ""; }

}  // namespace ksv::platform::shell

using namespace ksv::platform::shell;

extern "C" {

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) {
  return ksv::support::NoThrow<BOOL>(FALSE, [&]() -> BOOL {
    if (list == nullptr || path == nullptr) return FALSE;
    const std::string text = PathOf(list);
    if (text.size() >= 260) {
      path[0] = '\0';
      return FALSE;
    }
    std::memcpy(path, text.c_str(), text.size() + 1);
    return TRUE;
  });
}

}  // extern "C"
