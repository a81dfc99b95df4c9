#include "apps/ksvcam/media_setup.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/hresult_text.h"
#include "apps/ksvcam/module_scan.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/media_guids.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;

namespace {

// The media framework's module: registered first, as the filter mapper the
// other modules register their filters with; the standard categories are
// listed right after it.
constexpr char kFrameworkModule[] = "ksvmedia.so";

// A module that registers itself, as setup names it to a person.
struct MediaModule {
  fs::path path;
  std::string what;
};

// The modules of ModuleFolder() that register themselves (export
// DllRegisterServer), the framework first and the others by file name, so
// the order is the same on every machine. The others (the driver, the
// hardware modules) have setup steps of their own.
std::vector<MediaModule> SelfRegisteringModules() {
  const fs::path folder = ModuleFolder();
  const fs::path framework = folder / kFrameworkModule;
  std::error_code error;
  if (!fs::is_regular_file(framework, error)) {
    throw CommandFailure("the media framework's module " + Quoted(framework) + " is missing");
  }
  std::vector<fs::path> others;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    std::error_code kindError;
    if (path.extension() == ".so" && path.filename() != kFrameworkModule &&
        it->is_regular_file(kindError) && ExportsFunction(path, "DllRegisterServer")) {
      others.push_back(path);
    }
  }
  if (error) throw CommandFailure("cannot read the modules folder " + Quoted(folder) + ": " + error.message());
  std::sort(others.begin(), others.end());
  std::vector<MediaModule> modules;
  modules.push_back({framework, ModuleDescription(framework)});
  for (const fs::path& path : others) modules.push_back({path, ModuleDescription(path)});
  return modules;
}

// The platform's standard categories with their documented friendly names
// and merits.
const StandardCategory kCategories[] = {
    {"legacy", CLSID_LegacyAmFilterCategory, u"DirectShow Filters", MERIT_NORMAL},
    {"video-input", CLSID_VideoInputDeviceCategory, u"Video Capture Sources", MERIT_DO_NOT_USE},
    {"audio-input", CLSID_AudioInputDeviceCategory, u"Audio Capture Sources", MERIT_DO_NOT_USE},
    {"video-compressor", CLSID_VideoCompressorCategory, u"Video Compressors", MERIT_DO_NOT_USE},
    {"audio-compressor", CLSID_AudioCompressorCategory, u"Audio Compressors", MERIT_DO_NOT_USE},
    {"audio-renderer", CLSID_AudioRendererCategory, u"Audio Renderers", MERIT_NORMAL},
};

// Loads the module by path and calls its DllRegisterServer or
// DllUnregisterServer.
void CallModuleEntry(const MediaModule& module, const char* entry) {
  const fs::path& path = module.path;
  // Kept loaded, as COM keeps the servers it loads: unloading a module
  // would unload the libraries it brought in, and a program that goes on to
  // use the framework would only load them again (some, such as FFmpeg's,
  // hold per-thread state that must outlive the module).
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* why = dlerror();
    throw CommandFailure("cannot load " + Quoted(path) + ": " + (why != nullptr ? why : "?"));
  }
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(handle);
  if (FAILED(result)) {
    throw CommandFailure(std::string(entry) + " of " + Quoted(path) + " failed: " +
                         HresultText(result));
  }
}

com::ComPtr<IFilterMapper2> CreateMapper() {
  com::ComPtr<IFilterMapper2> mapper;
  const HRESULT result =
      CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                       reinterpret_cast<void**>(mapper.GetAddressOf()));
  if (FAILED(result)) {
    throw CommandFailure("cannot create the filter mapper: " + HresultText(result));
  }
  return mapper;
}

std::string Utf8(const char16_t* text) { return com::Utf16ToUtf8(com::WideView(text)); }

}  // namespace

fs::path ModuleFolder() {
  const char* folder = std::getenv("KSV_MODULE_DIR");
  if (folder != nullptr && *folder != '\0') return fs::absolute(folder);
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return program.parent_path().parent_path() / "lib" / "ksv";
}

std::span<const StandardCategory> StandardCategories() { return kCategories; }

const StandardCategory* FindStandardCategory(std::string_view text) {
  const std::optional<GUID> clsid = com::ParseGuid(text);
  for (const StandardCategory& category : kCategories) {
    if (category.name == text || (clsid && *clsid == category.clsid)) return &category;
  }
  return nullptr;
}

ComSession::ComSession() { initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }

ComSession::~ComSession() {
  if (initialised_) CoUninitialize();
}

MediaRegistration RegisterMediaFramework(const std::function<void(const std::string&)>& report) {
  const ComSession com;
  MediaRegistration done;
  bool categoriesDone = false;
  for (const MediaModule& module : SelfRegisteringModules()) {
    CallModuleEntry(module, "DllRegisterServer");
    report("registered " + module.what + ": " + module.path.string());
    ++done.modules;
    if (categoriesDone) continue;
    const auto mapper = CreateMapper();
    for (const StandardCategory& category : kCategories) {
      const HRESULT result =
          mapper->CreateCategory(category.clsid, category.merit, category.friendlyName);
      if (FAILED(result)) {
        throw CommandFailure("cannot list the category " + Quoted(category.name) + ": " +
                             HresultText(result));
      }
      report("registered category " + Utf8(category.friendlyName));
      ++done.categories;
    }
    categoriesDone = true;
  }
  return done;
}

void UnregisterMediaFramework(const std::function<void(const std::string&)>& report) {
  const ComSession com;
  const std::vector<MediaModule> modules = SelfRegisteringModules();
  for (size_t index = modules.size(); index-- > 0;) {
    const MediaModule& module = modules[index];
    if (index == 0) {
      // The categories go while the mapper is still registered.
      com::InprocServer server;
      const auto mapper = SUCCEEDED(com::FindInprocServer(CLSID_FilterMapper2, &server))
                              ? CreateMapper()
                              : com::ComPtr<IFilterMapper2>();
      for (const StandardCategory& category : kCategories) {
        const HRESULT result =
            mapper ? mapper->UnregisterFilter(&CLSID_ActiveMovieCategories, nullptr, category.clsid)
                   : S_FALSE;
        report((result == S_OK ? "unregistered category " : "not registered: category ") +
               Utf8(category.friendlyName));
      }
    }
    CallModuleEntry(module, "DllUnregisterServer");
    report("unregistered " + module.what);
  }
}

void EnsureMediaFramework() {
  // The machine's registration is kept when it names this ksvcam's own
  // framework. One that names a module that is gone, or another copy of
  // the suite (an older build, a moved install), would have this program
  // run filters other than its own: it registers its own, as setup does.
  com::InprocServer server;
  if (SUCCEEDED(com::FindInprocServer(CLSID_FilterGraph, &server))) {
    std::error_code error;
    if (fs::equivalent(server.path, ModuleFolder() / kFrameworkModule, error)) return;
  }
  RegisterMediaFramework([](const std::string&) {});
}

}  // namespace ksv::ksvcam
