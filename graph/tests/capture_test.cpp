// Audio capture through the library on a microphone the test plugs in, on
// simulated time: a build that runs to its end with QMG_Play, a handle
// driven through its states while another thread posts graph events, the
// full FilterList, and the process-wide name lists.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "graph/graph_routines.h"
#include "platform/acm/format_chooser.h"
#include "platform/com/inproc_servers.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/filters/audio_capture/tests/test_microphone.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/user32.h"

namespace ksv::graph {
namespace {

using media::filters::testing::TestMicrophone;
namespace kernel = platform::kernel;

constexpr int64_t kMicroseconds = 1'000'000;
constexpr uint64_t kSoundFrames = 4000;  // half a second at the microphone's 8 kHz

std::atomic<int> eventCallbacks{0};

void CountEvents(int32_t code, intptr_t) {
  if (code == QMG_CODE_GRAPH_EVENTS) eventCallbacks.fetch_add(1);
}

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<char> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The size of the first RIFF chunk with this identifier, or -1.
int64_t ChunkSize(const std::vector<char>& file, const char* id) {
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = 0;
    std::memcpy(&size, &file[at + 4], 4);
    if (std::memcmp(&file[at], id, 4) == 0) return size;
    at += 8 + size + (size & 1);
  }
  return -1;
}

class AudioCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    platform::hardware::PlugDevice(&microphone_);
    platform::hardware::PlugDevice(&endless_);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.lpszClassName = "QMG capture client";
    RegisterClassA(&windowClass);
    parent_ = CreateWindowExA(0, "QMG capture client", "client", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    eventCallbacks = 0;
  }
  void TearDown() override {
    DestroyWindow(parent_);
    platform::hardware::UnplugDevice(&microphone_);
    platform::hardware::UnplugDevice(&endless_);
  }

  // Dispatches messages until `done` says so or 20 s of wall time went by.
  // The limit is in wall time, not in messages: on simulated time the timer
  // posts ticks as fast as they are taken, and a loaded machine may not run
  // the thread that posts the awaited events for thousands of them.
  template <class Done>
  bool PumpUntil(Done done) {
    MSG message{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      if (GetMessageA(&message, nullptr, 0, 0) <= 0) return false;
      DispatchMessageA(&message);
    }
    return done();
  }

  media::testing::PluginRoot root_{
      {"ksvcapture.so", "ksvaudiocapture.so", "ksvfilewriter.so", "ksvwavdest.so", "ksvaudiorender.so"}};
  kernel::SimulatedPerformanceCounter counter_{kMicroseconds};
  kernel::ScopedPerformanceCounter installed_{counter_};
  TestMicrophone microphone_{"QMG Test Microphone", kSoundFrames};
  TestMicrophone endless_{"QMG Endless Microphone", 0};
  HWND parent_ = nullptr;
};

TEST_F(AudioCapture, TheBuildRunsToItsEndWithPlayAndWritesTheSound) {
  const auto wav = root_ / "sound.wav";
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(handle->graph, nullptr);
  QMG_SetCallbackProc(handle, CountEvents, 0);
  EXPECT_EQ(QMG_BuildCaptureAudio(handle, "QMG Test Microphone", nullptr, nullptr), 0) << "the path is required";
  ASSERT_EQ(QMG_BuildCaptureAudio(handle, "QMG Test Microphone", nullptr, wav.c_str()), 1);
  EXPECT_EQ(handle->graphKind, kGraphCaptureAudio);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_STOPPED);

  QMG_SetEventFlag(handle);
  ASSERT_EQ(QMG_Play(handle), 1);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_RUNNING);
  EXPECT_TRUE(PumpUntil([&] { return QMG_GetEventFlag(handle) == 0; })) << "no completion";
  EXPECT_GT(eventCallbacks.load(), 0);
  EXPECT_EQ(QMG_Stop(handle), 1);
  EXPECT_EQ(QMG_Reset(handle), 1);

  const std::vector<char> file = ReadFile(wav);
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(file.data() + 8, "WAVE", 4), 0);
  EXPECT_EQ(ChunkSize(file, "data"), int64_t(kSoundFrames * 2)) << "every 16-bit mono frame";
}

TEST_F(AudioCapture, AHandleGoesThroughItsStatesWhileAnotherThreadPostsGraphEvents) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(handle->graph, nullptr);
  QMG_SetCallbackProc(handle, CountEvents, 0);
  ASSERT_EQ(QMG_BuildCaptureAudio(handle, "QMG Endless Microphone", nullptr, (root_ / "endless.wav").c_str()), 1);
  com::ComPtr<IMediaEventSink> sink;
  ASSERT_EQ(handle->graph->graph.As(&sink), S_OK);

  std::atomic<bool> stop{false};
  std::atomic<int> posted{0};
  std::thread poster([&] {
    while (!stop.load()) {
      sink->Notify(EC_USER + 1, posted.fetch_add(1), 0);
      std::this_thread::yield();
    }
  });
  const auto someEvents = [&] {
    const int seen = eventCallbacks.load();
    return [&, seen] { return eventCallbacks.load() >= seen + 3; };
  };
  ASSERT_EQ(QMG_Play(handle), 1);
  EXPECT_TRUE(PumpUntil(someEvents()));
  ASSERT_EQ(QMG_Pause(handle), 1);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_PAUSED);
  EXPECT_TRUE(PumpUntil(someEvents()));
  ASSERT_EQ(QMG_Play(handle), 1);
  EXPECT_TRUE(PumpUntil(someEvents()));
  ASSERT_EQ(QMG_Stop(handle), 1);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_STOPPED);
  ASSERT_EQ(QMG_Play(handle), 1);
  // Reset while running and while events keep coming.
  EXPECT_EQ(QMG_Reset(handle), 1);
  stop = true;
  poster.join();
  sink = nullptr;
  EXPECT_GT(posted.load(), 0);
  // What is still queued for the destroyed window is dropped.
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST_F(AudioCapture, AFullFilterListFailsTheBuild) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(handle->graph, nullptr);
  for (int i = 0; i < kMaxFilters; ++i) {
    ASSERT_NE(CreateFilter(*handle->graph, CLSID_FileWriter, kKindFileWriter, true), nullptr);
  }
  EXPECT_EQ(QMG_BuildCaptureAudio(handle, "QMG Test Microphone", nullptr, (root_ / "x.wav").c_str()), 0);
  EXPECT_EQ(handle->graph->filterCount, kMaxFilters);
  EXPECT_EQ(QMG_Play(handle), 0) << "no controls were attached";
  EXPECT_EQ(QMG_Reset(handle), 1);
}

TEST_F(AudioCapture, TheMicrophonesFormatIsChosenInTheAcmDialog) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(QMG_ChooseAudioFormat(handle), 0) << "no microphone graph yet";
  ASSERT_EQ(QMG_BuildPreview_Mic(handle, "QMG Test Microphone"), 1);
  EXPECT_EQ(handle->graphKind, kGraphNone);
  ASSERT_TRUE(handle->graph->audioConfig);

  // A person picks 22.050 kHz 16-bit mono PCM and presses OK.
  bool found = false;
  const auto previous = platform::acm::SetFormatChooser([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, platform::acm::kFormatListId);
    const int rows = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < rows && !found; ++row) {
      char text[128] = {};
      SendMessageA(list, LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(text));
      if (std::string(text) == "PCM, 22.050 kHz, 16 Bit, Mono") {
        platform::ui::input::ChooseItem(list, row);
        found = true;
      }
    }
    platform::ui::input::Click(GetDlgItem(dialog, IDOK));
  });
  EXPECT_EQ(QMG_ChooseAudioFormat(handle), 1);
  platform::acm::SetFormatChooser(previous);
  ASSERT_TRUE(found);
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(handle->graph->audioConfig->GetFormat(&type), S_OK);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
  EXPECT_EQ(wave->nSamplesPerSec, 22050u);
  EXPECT_EQ(wave->wBitsPerSample, 16);
  EXPECT_EQ(wave->nChannels, 1);
  DeleteMediaType(type);
  EXPECT_EQ(QMG_Reset(handle), 1);
}

// The lists are process-wide, so one test sees them from their first use.
TEST_F(AudioCapture, TheNameListsAreBuiltOnFirstUseAndEmptyOnesAreTriedAgain) {
  char name[128] = "untouched";
  EXPECT_EQ(QMG_GetAudioDeviceName(0, name), 0) << "before the total was asked for";
  ASSERT_EQ(QMG_GetTotalAudioDevice(), 2);
  EXPECT_EQ(QMG_GetAudioDeviceName(-1, name), 0);
  EXPECT_EQ(QMG_GetAudioDeviceName(2, name), 0);
  EXPECT_EQ(QMG_GetAudioDeviceName(0, nullptr), 0);
  ASSERT_EQ(QMG_GetAudioDeviceName(0, name), 1);
  const std::string first = name;
  ASSERT_EQ(QMG_GetAudioDeviceName(1, name), 1);
  EXPECT_EQ((std::vector<std::string>{first, name}),
            (std::vector<std::string>{"QMG Endless Microphone", "QMG Test Microphone"}));
  // A buffer sized to the name gets the name and its zero, nothing past them.
  char fitted[sizeof "QMG Test Microphone" + 1];
  std::memset(fitted, 0x5A, sizeof fitted);
  ASSERT_EQ(QMG_GetAudioDeviceName(1, fitted), 1);
  EXPECT_STREQ(fitted, "QMG Test Microphone");
  EXPECT_EQ(fitted[sizeof fitted - 1], 0x5A) << "copied past the name's zero";

  EXPECT_EQ(QMG_GetTotalVideoDevice(), 0) << "no camera";
  EXPECT_EQ(QMG_GetVideoDeviceName(0, name), 0);
  // A camera that appears later is found by the next total.
  com::ComPtr<IFilterMapper2> mapper;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                             reinterpret_cast<void**>(mapper.GetAddressOf())),
            S_OK);
  mapper->CreateCategory(CLSID_VideoInputDeviceCategory, MERIT_DO_NOT_USE, u"Video Capture Sources");
  REGFILTER2 data{};
  data.dwVersion = 1;
  ASSERT_EQ(mapper->RegisterFilter(CLSID_FileWriter, u"Late Camera", nullptr, &CLSID_VideoInputDeviceCategory,
                                   u"Late Camera", &data),
            S_OK);
  ASSERT_EQ(QMG_GetTotalVideoDevice(), 1);
  ASSERT_EQ(QMG_GetVideoDeviceName(0, name), 1);
  EXPECT_STREQ(name, "Late Camera");
  // Built once: a second camera is not seen.
  ASSERT_EQ(mapper->RegisterFilter(CLSID_FileWriter, u"Later Camera", nullptr, &CLSID_VideoInputDeviceCategory,
                                   u"Later Camera", &data),
            S_OK);
  EXPECT_EQ(QMG_GetTotalVideoDevice(), 1);
}

}  // namespace
}  // namespace ksv::graph
