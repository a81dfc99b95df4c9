// The File writer in a real graph, fed by a scripted push source: the file
// appears whole at the end of the stream or at the upstream's commit while
// the graph stops, and never after an error or without a commit.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/stream.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/media/testing/scripted_source.h"

namespace {

using ksv::com::ComPtr;
using ksv::media::testing::Chunk;
using ksv::media::testing::kScriptError;
using ksv::media::testing::PluginRoot;
using ksv::media::testing::Script;
using ksv::media::testing::ScriptedSource;
namespace fs = std::filesystem;

std::string Text(const fs::path& path) {
  const auto bytes = ksv::testing::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

class FileWriterTest : public ::testing::Test {
 protected:
  FileWriterTest() : root_({"ksvfilewriter.so"}) {}

  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    folder_ = root_ / "out";
    fs::create_directory(folder_);
    target_ = folder_ / "clip.avi";
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(graph_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(graph_.As(&control_), S_OK);
    ASSERT_EQ(graph_.As(&events_), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(writer_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(writer_.As(&sink_), S_OK);
    ASSERT_EQ(sink_->SetFileName(Wide(target_).c_str(), nullptr), S_OK);
    ASSERT_EQ(graph_->AddFilter(writer_.Get(), u"File writer"), S_OK);
  }
  void TearDown() override {
    if (control_) control_->Stop();
  }

  static std::u16string Wide(const fs::path& path) { return ksv::com::Utf8ToUtf16(path.string()); }

  // The source with `script`, in the graph and connected to the writer.
  ScriptedSource* Feed(Script script) {
    auto* source = new ScriptedSource(std::move(script));
    source_ = ComPtr<IBaseFilter>(source);
    EXPECT_EQ(graph_->AddFilter(source, u"source"), S_OK);
    ComPtr<IPin> output;
    ComPtr<IPin> input;
    EXPECT_EQ(source->FindPin(u"Output", output.GetAddressOf()), S_OK);
    EXPECT_EQ(writer_->FindPin(u"in", input.GetAddressOf()), S_OK);
    EXPECT_EQ(graph_->ConnectDirect(output.Get(), input.Get(), nullptr), S_OK);
    return source;
  }
  // Names in the output folder.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  // Waits for an event `code`; its first parameter, or nothing.
  std::optional<LONG_PTR> WaitFor(LONG wanted, int milliseconds = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
      LONG code = 0;
      LONG_PTR p1 = 0, p2 = 0;
      if (events_->GetEvent(&code, &p1, &p2, 50) != S_OK) continue;
      events_->FreeEventParams(code, p1, p2);
      if (code == wanted) return p1;
    }
    return std::nullopt;
  }
  static bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 5000 && !condition(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
  }

  PluginRoot root_;
  fs::path folder_;
  fs::path target_;
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IBaseFilter> writer_;
  ComPtr<IFileSinkFilter2> sink_;
  ComPtr<IBaseFilter> source_;
};

TEST_F(FileWriterTest, FileAppearsAtEndOfStreamWithExactlyTheBytesAtTheirPositions) {
  Script script;
  script.chunks = {{6, "world"}, {0, "hello "}, {11, "!"}, {16, "end"}};
  script.waitForGate = true;
  ScriptedSource* source = Feed(script);
  ASSERT_EQ(control_->Run(), S_OK);
  ASSERT_TRUE(Eventually([&] { return source->delivered() == 4; }));
  // While the stream runs the bytes are in a hidden temporary file only.
  ASSERT_EQ(Entries().size(), 1u);
  EXPECT_NE(Entries()[0], "clip.avi");
  EXPECT_EQ(Entries()[0][0], '.');
  EXPECT_FALSE(fs::exists(target_));

  source->OpenGate();
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(5000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(Text(target_), std::string("hello world!\0\0\0\0end", 19));
  EXPECT_EQ(Entries(), std::vector<std::string>{"clip.avi"});
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(Text(target_), std::string("hello world!\0\0\0\0end", 19));
}

TEST_F(FileWriterTest, AnOldFileIsReplacedWholeWithOrWithoutOverwriteMode) {
  Script script;
  script.chunks = {{0, "new"}};
  Feed(script);
  for (const DWORD mode : {DWORD{0}, AM_FILE_OVERWRITE}) {
    SCOPED_TRACE(mode);
    ksv::testing::WriteFile(target_, std::vector<uint8_t>(64, 'o'));
    ASSERT_EQ(sink_->SetMode(mode), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events_->WaitForCompletion(5000, &code), S_OK);
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_EQ(Text(target_), "new");  // no stale tail of the old file
    EXPECT_EQ(Entries().size(), 1u);
  }
}

TEST_F(FileWriterTest, StoppedWithoutEndOfStreamTheUpstreamCommitsThroughIStream) {
  Script script;
  script.chunks = {{8, "payload"}};
  script.end = Script::End::kHold;
  script.atStop = {{0, "HEADER.."}, {15, "index"}};
  script.commitAtStop = true;
  ScriptedSource* source = Feed(script);
  ASSERT_EQ(control_->Run(), S_OK);
  ASSERT_TRUE(Eventually([&] { return source->delivered() == 1; }));
  ASSERT_EQ(control_->Stop(), S_OK);
  // In place before Stop returned.
  EXPECT_EQ(source->stopWrite(), S_OK);
  EXPECT_EQ(source->stopCommit(), S_OK);
  EXPECT_EQ(Text(target_), "HEADER..payloadindex");
  EXPECT_EQ(Entries(), std::vector<std::string>{"clip.avi"});

  // Once committed there is nothing left to write to.
  ComPtr<IPin> input;
  ASSERT_EQ(writer_->FindPin(u"in", input.GetAddressOf()), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(input.As(&stream), S_OK);
  ULONG written = 7;
  EXPECT_EQ(stream->Write("late", 4, &written), STG_E_REVERTED);
  EXPECT_EQ(written, 0u);
  char buffer[4];
  EXPECT_EQ(stream->Read(buffer, 4, nullptr), E_NOTIMPL);
}

TEST_F(FileWriterTest, AFileNeverCommittedIsDeletedAtTheNextRunAndOnDisconnection) {
  Script script;
  script.chunks = {{0, "partial"}};
  script.end = Script::End::kHold;
  ScriptedSource* source = Feed(script);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(Eventually([&] { return source->delivered() == run; }));
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_FALSE(fs::exists(target_));
    // Only this run's temporary file waits for a commit.
    EXPECT_EQ(Entries().size(), 1u);
  }
  ASSERT_EQ(graph_->RemoveFilter(writer_.Get()), S_OK);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileWriterTest, AnUpstreamErrorLeavesNothingUnderTheName) {
  Script script;
  script.chunks = {{0, "broken"}};
  script.end = Script::End::kError;
  Feed(script);
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(WaitFor(EC_ERRORABORT), kScriptError);
  // The writer still completes its stream, with the error.
  EXPECT_EQ(WaitFor(EC_COMPLETE), kScriptError);
  EXPECT_TRUE(Entries().empty());
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileWriterTest, AnUpstreamErrorRefusesTheCommitAtStop) {
  Script script;
  script.chunks = {{8, "payload"}};
  script.end = Script::End::kErrorThenHold;
  script.atStop = {{0, "HEADER.."}};
  script.commitAtStop = true;
  ScriptedSource* source = Feed(script);
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(WaitFor(EC_ERRORABORT), kScriptError);
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(source->stopCommit(), kScriptError);
  EXPECT_TRUE(Entries().empty());
}

// The file may not grow past a limit (RLIMIT_FSIZE; root ignores folder
// permissions): the write fails, the stream is aborted and no file is left.
TEST_F(FileWriterTest, AWriteFailureAbortsTheStreamAndLeavesNothing) {
  Script script;
  script.chunks = {{0, "fits"}, {1 << 20, "too far"}, {8, "never written"}};
  ScriptedSource* source = Feed(script);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  ASSERT_EQ(control_->Run(), S_OK);
  const auto error = WaitFor(EC_ERRORABORT);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(error, HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
  // Receive failed, so the source delivered nothing more.
  EXPECT_EQ(source->delivered(), 2);
  EXPECT_TRUE(Entries().empty());
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileWriterTest, FileNameAndModeAreKeptAndAFileNeedsAName) {
  LPOLESTR name = nullptr;
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(sink_->GetCurFile(&name, &type), S_OK);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::u16string(name), Wide(target_));
  CoTaskMemFree(name);
  FreeMediaType(type);
  DWORD mode = 7;
  ASSERT_EQ(sink_->GetMode(&mode), S_OK);
  EXPECT_EQ(mode, 0u);
  EXPECT_EQ(sink_->SetMode(2), E_INVALIDARG);
  ASSERT_EQ(sink_->SetMode(AM_FILE_OVERWRITE), S_OK);
  ASSERT_EQ(sink_->GetMode(&mode), S_OK);
  EXPECT_EQ(mode, AM_FILE_OVERWRITE);

  Script script;
  script.end = Script::End::kHold;
  Feed(script);
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(sink_->SetFileName(u"elsewhere.avi", nullptr), VFW_E_WRONG_STATE);
  ASSERT_EQ(control_->Stop(), S_OK);
  // A folder that does not exist: the graph cannot start.
  ASSERT_EQ(sink_->SetFileName(Wide(folder_ / "missing" / "clip.avi").c_str(), nullptr), S_OK);
  EXPECT_EQ(control_->Pause(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
