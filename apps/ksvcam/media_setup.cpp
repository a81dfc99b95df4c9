#include "apps/ksvcam/media_setup.h"

#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/hresult_text.h"
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

// The modules an installer registers, in order. The first is the framework
// itself (the filter mapper the others register their filters with); the
// standard categories are listed right after it. Later modules (the
// standard filters, codecs, the system's plug-ins) join the table.
struct MediaModule {
  const char* file;  // under ModuleFolder()
  const char* what;
};
constexpr MediaModule kModules[] = {
    {"ksvmedia.so", "the media framework"},
    {"ksvfilesource.so", "the file source"},
    {"ksvavisplit.so", "the AVI splitter"},
    {"ksvwaveparser.so", "the WAV parser"},
    {"ksvmpeg1.so", "the MPEG-1 splitter and decoders"},
    {"ksvavimux.so", "the AVI multiplexer"},
    {"ksvfilewriter.so", "the file writer"},
    {"ksvwavdest.so", "WAV Dest"},
    {"ksvsmarttee.so", "the Smart Tee"},
    {"ksvcapture.so", "the capture graph builder"},
    {"ksvaudiocapture.so", "the audio capture filter"},
    {"ksvksproxy.so", "the camera's kernel-streaming proxy"},
    {"ksvavimaker.so", "the RMC900 AVI Maker"},
    {"ksvcaption.so", "the Mocam video caption filter"},
    {"ksvacm.so", "the ACM Wrapper and audio compressors"},
    {"ksvvideorender.so", "the Video Renderer"},
    {"ksvaudiorender.so", "the audio renderer"},
    {"ksvavidec.so", "the AVI decompressor"},
    {"ksvcolour.so", "the colour space converter"},
    {"ksvavico.so", "the video compressors"},
    {"ksvvexel5.so", "the Vexel 5 video encoder"},
    {"trsmplrt.so", "the sample-rate converter"},
    {"Dextro.so", "the download source filter"},
};

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
  const fs::path path = ModuleFolder() / module.file;
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    throw CommandFailure(std::string(module.what) + "'s module " + Quoted(path) + " is missing");
  }
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
  for (const MediaModule& module : kModules) {
    CallModuleEntry(module, "DllRegisterServer");
    report(std::string("registered ") + module.what + ": " + (ModuleFolder() / module.file).string());
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
  const size_t count = std::size(kModules);
  for (size_t index = count; index-- > 0;) {
    const MediaModule& module = kModules[index];
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
    report(std::string("unregistered ") + module.what);
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
    if (fs::equivalent(server.path, ModuleFolder() / kModules[0].file, error)) return;
  }
  RegisterMediaFramework([](const std::string&) {});
}

}  // namespace ksv::ksvcam
