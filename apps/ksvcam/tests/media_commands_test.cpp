// setup, filters and graph over a fresh system root with the media
// framework's module (and the simulated camera's) from the build's lib/ksv.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>

#include "apps/ksvcam/tests/test_support.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/media/media_guids.h"
#include "platform/registry/win32_registry.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::ksvcam::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class MediaCommands : public ::testing::Test {
 protected:
  MediaCommands() {
    ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1);
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
  }
  ~MediaCommands() override {
    ::unsetenv("KSV_MODULE_DIR");
    ::unsetenv("KSV_ROOT");
  }

  // The test filter plug-in in the legacy category, as its installer would.
  static void RegisterTestFilters() {
    // Kept loaded, as COM keeps its servers: unloading it in the middle of
    // the process left LeakSanitizer a stale thread-local slot to read.
    void* module = dlopen(KSV_TEST_PLUGIN_DIR "/ksvtestfilters.so", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_EQ(entry(), S_OK);
    CoUninitialize();
    dlclose(module);
  }

  TempFolder folder_;
};

TEST_F(MediaCommands, SetupListsEveryCategoryAndIsHarmlessTwiceAndUnregisterEmptiesIt) {
  const auto setup = RunKsvcam({"setup"});
  ASSERT_EQ(setup.status, 0) << setup.err;
  EXPECT_NE(setup.out.find("registered the media framework"), std::string::npos) << setup.out;
  EXPECT_NE(setup.out.find("23 media modules and 6 filter categories"), std::string::npos);
  EXPECT_NE(setup.out.find("listed KSV Simulated Microphone: "), std::string::npos) << setup.out;
  EXPECT_NE(setup.out.find("registered the camera driver RMC900 USB Camera: "), std::string::npos)
      << setup.out;
  const auto driver = ksv::platform::usbcamd::RegisteredCameraDriver();
  ASSERT_TRUE(driver.has_value());
  EXPECT_EQ(driver->module.filename(), "oksv1vid.so");
  EXPECT_TRUE(std::filesystem::is_regular_file(driver->module)) << driver->module;
  EXPECT_EQ(driver->friendlyName, "RMC900 USB Camera");
  ASSERT_EQ(RunKsvcam({"setup"}).status, 0);
  // The listed microphone is an audio capture source.
  const auto microphones = RunKsvcam({"filters", "--category", "audio-input"});
  ASSERT_EQ(microphones.status, 0) << microphones.err;
  EXPECT_NE(microphones.out.find(
                "  KSV Simulated Microphone  {E30629D2-27E5-11CE-875D-00608CB78066}"),
            std::string::npos)
      << microphones.out;

  const auto filters = RunKsvcam({"filters"});
  ASSERT_EQ(filters.status, 0) << filters.err;
  // Each category once, sorted by friendly name, with its documented merit.
  const char* expected[] = {
      "Audio Capture Sources  {33D9A762-90C8-11D0-BD43-00A0C911CE86}  merit 0x00200000",
      "Audio Compressors  {33D9A761-90C8-11D0-BD43-00A0C911CE86}  merit 0x00200000",
      "Audio Renderers  {E0F158E1-CB04-11D0-BD4E-00A0C911CE86}  merit 0x00600000",
      "DirectShow Filters  {083863F1-70DE-11D0-BD40-00A0C911CE86}  merit 0x00600000",
      "Video Capture Sources  {860BB310-5D01-11D0-BD3B-00A0C911CE86}  merit 0x00200000",
      "Video Compressors  {33D9A760-90C8-11D0-BD43-00A0C911CE86}  merit 0x00200000",
  };
  size_t at = 0;
  for (const char* line : expected) {
    const size_t found = filters.out.find(std::string(line) + "\n");
    ASSERT_NE(found, std::string::npos) << line << "\n" << filters.out;
    EXPECT_GT(found + 1, at) << "out of order: " << line;
    EXPECT_EQ(filters.out.find(line, found + 1), std::string::npos) << "twice: " << line;
    at = found;
  }

  const auto unregister = RunKsvcam({"setup", "--unregister"});
  ASSERT_EQ(unregister.status, 0) << unregister.err;
  EXPECT_NE(unregister.out.find("unlisted KSV Simulated Microphone"), std::string::npos);
  EXPECT_NE(unregister.out.find("unregistered the camera driver RMC900 USB Camera"),
            std::string::npos)
      << unregister.out;
  EXPECT_FALSE(ksv::platform::usbcamd::RegisteredCameraDriver().has_value());
  ksv::com::InprocServer server;
  EXPECT_EQ(ksv::com::FindInprocServer(CLSID_FilterGraph, &server), REGDB_E_CLASSNOTREG);
  // Unregistering again finds nothing left, and is not an error.
  const auto again = RunKsvcam({"setup", "--unregister"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("not registered: category DirectShow Filters"), std::string::npos);
  EXPECT_NE(again.out.find("not registered: the camera driver"), std::string::npos) << again.out;
}

// ksvcam itself in a process of its own, with this test's environment: what
// it loads stays out of this process. Its standard output and error, and
// its exit status.
std::pair<std::string, int> RunProgram(const std::string& arguments) {
  const std::string command = std::string("'") + KSVCAM_BINARY + "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {"cannot run " + command, -1};
  std::string out;
  char buffer[4096];
  while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
  return {out, pclose(pipe)};
}

// Setup registers every plug-in of the modules folder that registers
// itself, named by the description it carries (else by its file name), and
// leaves the modules that do not (the driver, the devices) to their own steps.
TEST_F(MediaCommands, SetupRegistersEveryModuleOfTheFolderThatRegistersItself) {
  const fs::path modules = folder_.path() / "modules";
  fs::create_directories(modules);
  for (const auto& entry : fs::directory_iterator(KSV_TEST_MODULE_DIR)) {
    fs::create_symlink(entry.path(), modules / entry.path().filename());
  }
  fs::create_symlink(fs::path(KSV_TEST_PLUGIN_DIR) / "ksvtestfilters.so",
                     modules / "ksvtestfilters.so");
  ::setenv("KSV_MODULE_DIR", modules.c_str(), 1);

  const auto [setup, status] = RunProgram("setup");
  ASSERT_EQ(status, 0) << setup;
  EXPECT_NE(setup.find("\nregistered the AVI multiplexer: " + (modules / "ksvavimux.so").string() +
                       "\n"),
            std::string::npos)
      << setup;
  EXPECT_NE(setup.find("\nregistered ksvtestfilters.so: " + (modules / "ksvtestfilters.so").string() +
                       "\n"),
            std::string::npos)
      << setup;
  EXPECT_NE(setup.find("24 media modules"), std::string::npos) << setup;
  EXPECT_EQ(setup.find("registered oksv1vid.so"), std::string::npos) << setup;
  EXPECT_EQ(setup.find("registered ksvsimcam.so"), std::string::npos) << setup;
  const auto [legacy, listed] = RunProgram("filters --category legacy");
  ASSERT_EQ(listed, 0) << legacy;
  EXPECT_NE(legacy.find("  KSV Test Source  "), std::string::npos) << legacy;
}

// A machine whose registration names a framework that is gone (another
// copy of the suite, since removed) gets this program's own on first use.
TEST_F(MediaCommands, ARegistrationOfAVanishedFrameworkIsReplacedOnFirstUse) {
  ASSERT_EQ(RunKsvcam({"setup"}).status, 0);
  HKEY server = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT,
                          "CLSID\\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\\InprocServer32", 0,
                          KEY_WRITE, &server),
            ERROR_SUCCESS);
  const std::string gone = (folder_.path() / "old-install" / "ksvmedia.so").string();
  RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(gone.c_str()),
                 static_cast<DWORD>(gone.size() + 1));
  RegCloseKey(server);

  const auto filters = RunKsvcam({"filters"});
  ASSERT_EQ(filters.status, 0) << filters.err;
  EXPECT_NE(filters.out.find("DirectShow Filters"), std::string::npos) << filters.out;
  ksv::com::InprocServer registered;
  ASSERT_EQ(ksv::com::FindInprocServer(CLSID_FilterGraph, &registered), S_OK);
  EXPECT_TRUE(fs::equivalent(registered.path, fs::path(KSV_TEST_MODULE_DIR) / "ksvmedia.so"))
      << registered.path;
}

TEST_F(MediaCommands, FiltersRegistersOnFirstUseAndNamesACategory) {
  // First use sets the machine up as devices does: the framework, and the
  // simulated camera and microphone listed.
  const auto inputs = RunKsvcam({"filters", "--category", "video-input"});
  ASSERT_EQ(inputs.status, 0) << inputs.err;
  EXPECT_NE(inputs.out.find("  RMC900 USB Camera  "), std::string::npos) << inputs.out;
  RegisterTestFilters();
  const auto legacy = RunKsvcam({"filters", "--category", "legacy"});
  ASSERT_EQ(legacy.status, 0) << legacy.err;
  EXPECT_EQ(legacy.out.rfind("DirectShow Filters  {083863F1", 0), 0u) << legacy.out;
  // Sorted by friendly name, with the class key's identifier and the merit.
  // (The name column is as wide as the longest name.)
  std::smatch line;
  ASSERT_TRUE(std::regex_search(legacy.out, line,
                                std::regex("  KSV Test Converter +"
                                           "\\{7E57F117-0002-4B53-9D10-6B5376544631\\}  merit "
                                           "0x00600000\n")))
      << legacy.out;
  const size_t converter = static_cast<size_t>(line.position(0));
  const size_t sink = legacy.out.find("  KSV Test Sink  ");
  const size_t source = legacy.out.find("  KSV Test Source  ");
  ASSERT_NE(converter, std::string::npos) << legacy.out;
  ASSERT_NE(sink, std::string::npos);
  ASSERT_NE(source, std::string::npos);
  EXPECT_LT(converter, sink);
  EXPECT_LT(sink, source);

  const auto byClsid = RunKsvcam({"filters", "-c", "{E0F158E1-CB04-11D0-BD4E-00A0C911CE86}"});
  ASSERT_EQ(byClsid.status, 0);
  EXPECT_EQ(byClsid.out,
            "Audio Renderers  {E0F158E1-CB04-11D0-BD4E-00A0C911CE86}  merit 0x00600000\n"
            "  Default DirectSound Device  {79376820-07D0-11CF-A24D-0020AFD79767}  merit "
            "0x00800000\n");
  EXPECT_EQ(RunKsvcam({"filters", "-c", "video"}).status, 2);
}

TEST_F(MediaCommands, GraphInsertsTheConverterAndRunsToCompletion) {
  RunKsvcam({"filters"});
  RegisterTestFilters();
  const fs::path count = folder_.path() / "count.txt";
  const auto run = RunKsvcam({"graph", "--verbose",
                              "KSV Test Source file=25 ! KSV Test Sink file=" + count.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(count), "25\n");
  EXPECT_NE(run.out.find("graph completed (EC_COMPLETE) after "), std::string::npos) << run.out;
  // The converter the graph put between them, with both media types.
  EXPECT_NE(run.out.find("{7E57F117-0002-4B53-9D10-6B5376544631}"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("'KSV Test Source'.'Output' -> '"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("'.'XForm Out' -> 'KSV Test Sink'.'In'  Video/TSTB"), std::string::npos);
  EXPECT_NE(run.out.find(", 3 filters\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Video/TSTA"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Video/TSTB"), std::string::npos) << run.out;
}

TEST_F(MediaCommands, GraphBranchesFromANamedFilter) {
  RunKsvcam({"filters"});
  RegisterTestFilters();
  const fs::path a = folder_.path() / "a.txt";
  const fs::path b = folder_.path() / "b.txt";
  // The converter's one output feeds the first sink; the branch from the
  // source finds it connected already, so the second link fails, naming it.
  const auto run = RunKsvcam({"graph", "KSV Test Source name=s file=5 ! KSV Test Sink file=" +
                                           a.string() + " ! s. ! KSV Test Sink file=" + b.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot connect 's' to 'KSV Test Sink"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("has no unconnected output pin"), std::string::npos) << run.err;
}

TEST_F(MediaCommands, GraphErrorsNameTheFilterOrBothPins) {
  RunKsvcam({"filters"});
  RegisterTestFilters();
  const auto unknown = RunKsvcam({"graph", "KSV Test Source ! No Such Filter (x)"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "ksvcam: error: no filter named 'No Such Filter (x)'; see ksvcam filters\n");

  // Subtype B out, only A in, and no registered filter turns B into A.
  const auto failed =
      RunKsvcam({"graph", "KSV Test Converter name=c1 ! KSV Test Converter name=c2"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err.rfind("ksvcam: error: cannot connect 'c1'.'XForm Out' to 'c2'.'XForm In': "
                             "VFW_E_CANNOT_CONNECT",
                             0),
            0u)
      << failed.err;

  const auto sinkFirst = RunKsvcam({"graph", "KSV Test Sink ! KSV Test Source"});
  EXPECT_EQ(sinkFirst.status, 1);
  EXPECT_NE(sinkFirst.err.find("'KSV Test Sink' has no unconnected output pin"),
            std::string::npos)
      << sinkFirst.err;

  const auto noFile = RunKsvcam({"graph", "KSV Test Converter file=x ! KSV Test Sink"});
  EXPECT_EQ(noFile.status, 1);
  EXPECT_NE(noFile.err.find("takes no file="), std::string::npos) << noFile.err;

  const auto usage = RunKsvcam({"graph", "KSV Test Source ! ! KSV Test Sink"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("missing element at column 19"), std::string::npos) << usage.err;
}

TEST_F(MediaCommands, GraphStopsAfterSeconds) {
  RunKsvcam({"filters"});
  RegisterTestFilters();
  // Far more samples than the sink could take in the time given... or it
  // finishes first; either way the graph stops and reports how.
  const auto run = RunKsvcam({"graph", "--seconds", "0.2", "KSV Test Source file=100000000 ! KSV Test Sink"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("graph stopped after --seconds"), std::string::npos) << run.out;
}

// The `ksvcam graph` lines of a text, each split as the shell splits it
// (words, and one '...' description).
std::vector<std::vector<std::string>> GraphExamples(const std::string& text,
                                                    const std::string& indent) {
  std::vector<std::vector<std::string>> examples;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(indent + "ksvcam graph ", 0) != 0) continue;
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char c : line.substr(indent.size() + 7)) {
      if (c == '\'') {
        quoted = !quoted;
        any = true;
      } else if (c == ' ' && !quoted) {
        if (any) words.push_back(word);
        word.clear();
        any = false;
      } else {
        word += c;
        any = true;
      }
    }
    if (any) words.push_back(word);
    examples.push_back(words);
  }
  return examples;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// As a person would: a fresh machine (no setup, no devices run first), the
// input files beside them, and the commands as the README and --help print
// them (live ones for half a second instead of ten).
TEST_F(MediaCommands, EveryGraphExampleOfTheReadmeAndTheHelpRunsOnAFreshMachine) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is needed for the example inputs";
  const fs::path work = folder_.path() / "work";
  fs::create_directories(work);
  ASSERT_EQ(std::system(("cd '" + work.string() +
                         "' && ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi "
                         "-i sine=sample_rate=22050 -t 1 -c:v mjpeg -c:a pcm_s16le in.avi && "
                         "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                         "sine=sample_rate=44100 -t 1 -c:v mpeg1video -c:a mp2 -f mpeg in.mpg && "
                         "ffmpeg -v error -y -f lavfi -i sine=sample_rate=22050 -t 1 -c:a "
                         "pcm_s16le in.wav")
                            .c_str()),
            0);
  ::setenv("KSV_HEADLESS", "1", 1);
  ::setenv("KSV_AUDIO", "none", 1);
  const fs::path before = fs::current_path();
  fs::current_path(work);

  std::ifstream readme(fs::path(KSV_SOURCE_DIR) / "README.md");
  std::stringstream text;
  text << readme.rdbuf();
  auto examples = GraphExamples(text.str(), "");
  const auto help = RunKsvcam({"graph", "--help"});
  EXPECT_NE(help.out.find("description := chain (' ; ' chain)*"), std::string::npos) << help.out;
  const auto helpExamples = GraphExamples(help.out, "  ");
  EXPECT_GE(helpExamples.size(), 2u) << help.out;
  examples.insert(examples.end(), helpExamples.begin(), helpExamples.end());
  EXPECT_GE(examples.size(), 10u);
  for (auto& example : examples) {
    for (size_t i = 0; i + 1 < example.size(); ++i) {
      if (example[i] == "--seconds") example[i + 1] = "0.5";
    }
    const std::string shown = Joined(example);
    EXPECT_EQ(shown.find("KSV Test"), std::string::npos) << "a test filter in " << shown;
    const auto run = RunKsvcam(example);
    EXPECT_EQ(run.status, 0) << shown << "\n" << run.err;
    if (shown.find("KSV Simulated Microphone") != std::string::npos) {
      // Both chains reached the mux: a video and a sound stream.
      const std::string file = shown.find("file=x.avi") != std::string::npos ? "x.avi" : "out.avi";
      EXPECT_EQ(Probe(work / file, "v:0", "codec_type"), "video") << shown;
      EXPECT_EQ(Probe(work / file, "a:0", "codec_type"), "audio") << shown;
    }
  }
  fs::current_path(before);
  ::unsetenv("KSV_AUDIO");
  ::unsetenv("KSV_HEADLESS");
}

}  // namespace
}  // namespace ksv::ksvcam::testing
