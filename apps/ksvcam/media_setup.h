// The media framework as an installer puts it on the machine: every module
// under lib/ksv/ beside ksvcam's bin/ folder that registers itself (exports
// DllRegisterServer) registers its classes and filters (loaded by path), and
// the standard filter categories are listed with their documented merits.
// A new plug-in dropped into the folder is registered with the rest.
// `ksvcam setup` does it; every subcommand that uses the framework does it
// on first use. Registering again is harmless.
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/guid.h"
#include "include/win32_types.h"

namespace ksv::ksvcam {

// The folder of the machine's modules: lib/ksv beside bin/, or the folder
// KSV_MODULE_DIR names (a test program, which does not live in bin/).
std::filesystem::path ModuleFolder();

// A standard filter category: the short name people type, its class
// identifier, its friendly name and its merit.
struct StandardCategory {
  std::string_view name;
  CLSID clsid;
  const char16_t* friendlyName;
  DWORD merit;
};
std::span<const StandardCategory> StandardCategories();
// By short name or class identifier ("{...}" or bare); null when neither.
const StandardCategory* FindStandardCategory(std::string_view text);

// Keeps COM initialised on the calling thread for its life.
class ComSession {
 public:
  ComSession();
  ~ComSession();
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;

 private:
  bool initialised_ = false;
};

// Registers the framework's module, then the categories, then the other
// modules; `report` receives a line per step ("registered ...", naming
// each module by the description its version resource carries). Returns
// how many of each. Throws CommandFailure naming the module or category
// that failed.
struct MediaRegistration {
  size_t modules = 0;
  size_t categories = 0;
};
MediaRegistration RegisterMediaFramework(const std::function<void(const std::string&)>& report);
// Undoes it in reverse order. Throws CommandFailure when a step fails.
void UnregisterMediaFramework(const std::function<void(const std::string&)>& report);

// Registers this program's framework unless the machine's registration
// already names it (none, a missing module or another copy: it registers).
void EnsureMediaFramework();

}  // namespace ksv::ksvcam
