#include "platform/com/inproc_servers.h"

#include <dlfcn.h>
#include <strings.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "support/no_throw.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_method.h"
#include "platform/com/com_ptr.h"

namespace {

using Clock = std::chrono::steady_clock;

// The delay CoFreeUnusedLibraries gives a free-threaded server between its
// DllCanUnloadNow agreeing and its unloading: a thread may still be
// returning from the server's last Release.
constexpr std::chrono::minutes kDefaultUnloadDelay{10};

// One loaded server.
struct Module {
  void* handle = nullptr;
  DllGetClassObjectFunction getClassObject = nullptr;
  DllCanUnloadNowFunction canUnloadNow = nullptr;  // none: never unloaded
  int callsInside = 0;                             // calls of ours running in it
  bool delayedUnload = false;  // "Free", "Both" or "Neutral": other threads may be inside
  std::optional<Clock::time_point> candidateSince;  // when it last agreed to go
};

bool ModelDelaysUnload(const std::string& threadingModel) {
  for (const char* model : {"Free", "Both", "Neutral"}) {
    if (strcasecmp(threadingModel.c_str(), model) == 0) return true;
  }
  return false;
}

// The servers this process has loaded, by canonical path. A call into a
// server is bracketed by Enter and Leave, so that CoFreeUnusedLibraries
// never unloads a module while DllGetClassObject runs.
class ModuleTable {
 public:
  HRESULT Enter(const std::string& registeredPath, const std::string& threadingModel,
                Module** entered) {
    // A bare name is for dlopen to look up; a path must name a file.
    std::string key = registeredPath;
    if (registeredPath.find('/') != std::string::npos) {
      std::error_code error;
      const std::filesystem::path canonical = std::filesystem::canonical(registeredPath, error);
      if (error) return CO_E_DLLNOTFOUND;
      key = canonical.string();
    }
    std::unique_lock guard(lock_);
    auto found = modules_.find(key);
    if (found == modules_.end()) {
      // Loading runs the module's initialisers, which may create objects
      // themselves: not under our lock. dlopen counts its loads, so a
      // module loaded by two threads at once is kept with one reference.
      guard.unlock();
      auto module = std::make_unique<Module>();
      const HRESULT result = Load(key, *module);
      if (FAILED(result)) return result;
      guard.lock();
      found = modules_.find(key);
      if (found == modules_.end()) {
        found = modules_.emplace(key, std::move(module)).first;
      } else {
        dlclose(module->handle);
      }
    }
    // In use again: no longer a candidate for unloading.
    found->second->candidateSince.reset();
    found->second->delayedUnload |= ModelDelaysUnload(threadingModel);
    ++found->second->callsInside;
    *entered = found->second.get();
    return S_OK;
  }

  void Leave(Module* module) {
    std::lock_guard guard(lock_);
    --module->callsInside;
  }

  // A server that agrees to go becomes a candidate; it is unloaded by a
  // call at least `delay` after the one that made it a candidate (at once
  // for a server whose threading model keeps other threads out of it).
  // DllCanUnloadNow and the module's finalisers are the server's code, which
  // may use COM itself: they run without our lock, the servers being asked
  // held in the table meanwhile as if a call were inside them.
  void FreeUnused(Clock::duration delay) {
    // Everything allocated before the first server is held: a failed
    // allocation leaves no server held for good.
    std::vector<std::pair<std::string, Module*>> asked;
    std::vector<bool> agrees;
    std::vector<void*> unloaded;
    {
      std::lock_guard guard(lock_);
      asked.reserve(modules_.size());
      agrees.reserve(modules_.size());
      unloaded.reserve(modules_.size());
      for (auto& [key, module] : modules_) {
        if (module->callsInside == 0 && module->canUnloadNow != nullptr) {
          asked.emplace_back(key, module.get());
          ++module->callsInside;
        } else {
          module->candidateSince.reset();
        }
      }
    }
    // A server whose answer throws stays.
    for (const auto& entry : asked) {
      agrees.push_back(
          ksv::support::NoThrow(false, [&] { return entry.second->canUnloadNow() == S_OK; }));
    }
    {
      std::lock_guard guard(lock_);
      const Clock::time_point now = Clock::now();
      for (size_t i = 0; i < asked.size(); ++i) {
        Module& module = *asked[i].second;
        // Used meanwhile: active again, whatever it answered.
        if (--module.callsInside > 0 || !agrees[i]) {
          module.candidateSince.reset();
          continue;
        }
        const Clock::duration wait = module.delayedUnload ? delay : Clock::duration::zero();
        if (!module.candidateSince) module.candidateSince = now;
        if (wait == Clock::duration::zero() || now - *module.candidateSince >= wait) {
          unloaded.push_back(module.handle);
          modules_.erase(asked[i].first);
        }
      }
    }
    for (void* handle : unloaded) dlclose(handle);
  }

 private:
  static HRESULT Load(const std::string& path, Module& module) {
    module.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module.handle == nullptr) {
      return path.find('/') == std::string::npos ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL;
    }
    module.getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(dlsym(module.handle, "DllGetClassObject"));
    if (module.getClassObject == nullptr) {
      dlclose(module.handle);
      return CO_E_ERRORINDLL;
    }
    module.canUnloadNow =
        reinterpret_cast<DllCanUnloadNowFunction>(dlsym(module.handle, "DllCanUnloadNow"));
    return S_OK;
  }

  std::mutex lock_;
  std::map<std::string, std::unique_ptr<Module>> modules_;
};

// Never destroyed: objects may still be released while the process exits.
ModuleTable& Modules() {
  static ModuleTable* table = new ModuleTable;
  return *table;
}

}  // namespace

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (serverInfo != nullptr) return E_INVALIDARG;
  HRESULT result = ksv::com::CheckApartment();
  if (FAILED(result)) return result;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  result = ksv::com::ComMethod([&]() -> HRESULT {
    ksv::com::InprocServer server;
    HRESULT found = ksv::com::FindInprocServer(clsid, &server);
    if (FAILED(found)) return found;
    Module* module = nullptr;
    found = Modules().Enter(server.path, server.threadingModel, &module);
    if (FAILED(found)) return found;
    try {
      found = module->getClassObject(clsid, iid, object);
    } catch (...) {
      found = E_UNEXPECTED;  // a server's exception must not cross into its caller
    }
    Modules().Leave(module);
    return found;
  });
  if (FAILED(result)) *object = nullptr;
  return result;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ksv::com::ComPtr<IClassFactory> factory;
  HRESULT result = CoGetClassObject(clsid, context, nullptr, IID_PPV_ARGS(factory.ReleaseAndGetAddressOf()));
  if (FAILED(result)) return result;
  try {
    result = factory->CreateInstance(outer, iid, object);
  } catch (...) {
    result = E_UNEXPECTED;
  }
  if (FAILED(result)) *object = nullptr;
  return result;
}

void CoFreeUnusedLibraries() { CoFreeUnusedLibrariesEx(INFINITE, 0); }

void CoFreeUnusedLibrariesEx(DWORD unloadDelay, DWORD /*reserved*/) {
  const Clock::duration delay = unloadDelay == INFINITE
                                    ? Clock::duration(kDefaultUnloadDelay)
                                    : Clock::duration(std::chrono::milliseconds(unloadDelay));
  // Out of memory, nothing is unloaded this time.
  ksv::support::NoThrowVoid([&] { Modules().FreeUnused(delay); });
}
