#include "platform/mfc/module_of.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "platform/module/module.h"

namespace ksv::mfc {

HINSTANCE ModuleHolding(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return GetModuleHandleA(nullptr);
  char program[4096] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::error_code error;
  if (std::filesystem::equivalent(info.dli_fname, program, error)) return GetModuleHandleA(nullptr);
  return ksv::platform::RegisterModule(info.dli_fname);
}

}  // namespace ksv::mfc
