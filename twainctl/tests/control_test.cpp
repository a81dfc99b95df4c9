// The scanner-interface control on a data source's files written here: the
// profile's defaults and odd values, snapshots from the driver's raw file,
// the bounded wait for a triggered one, the camera watch, the camera
// download's items and clips, Save All, and Exit pressed during them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/packed_bitmap.h"
#include "common/work_folder.h"
#include "include/oksv1ctl.h"
#include "include/oksv1dnl.h"
#include "include/oksv1jpg.h"
#include "outside/bulk/memory/memory_image.h"
#include "platform/kernel/performance_counter.h"
#include "platform/registry/registry_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/answerer.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/usbcamd/camera_stack.h"
#include "simcam/default_memory.h"
#include "simcam/simulated_camera.h"
#include "testing/temp_files.h"
#include "twainctl/control.h"
#include "twainui/window_context.h"

namespace ksv::twainctl {
namespace {

namespace fs = std::filesystem;
namespace ui = platform::ui;
namespace usb = platform::usbcamd;

constexpr const char* kKey = "Software\\Tarvio\\KSV Drivers\\";

constexpr const char* kProfile =
    "[TWAIN_DS]\nPRODNAME=Test Camera\n[USB_CAMERA]\nVID_PID=VID_0000&PID_0000\nDEVICE_NAME=No Such Camera\n"
    "DOWNLOAD_DSC=1\n[VFW_LOC]\nVFW_LOC_NAME=OKSV1Dep.loc\n[VIDEO_FORMAT]\nWIDTH=320\nHEIGHT=240\nFOUR_CC=ABCD\n"
    "[RAW_DATA]\nMODE=2\nFILE_NAME=snapraw.dat\n[COMPANY_LOGO]\nLOGO_BMP_FILE=logo.bmp\nLOGO_PT_Y=4\n";

class Control : public ::testing::Test {
 protected:
  Control() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    ::setenv("KSV_SCREEN_SIZE", "1024x768", 1);
    folder_ = root_.path() / "TWAIN_32" / "Orvan" / "KSV1";
    fs::create_directories(folder_);
    std::ofstream(folder_ / "KSVCam.DS") << "";
    Write("KSVCam.pro", kProfile);
    ui::SetAnswerer([this](const ui::ModalElement& element) {
      messages_.push_back(element.text);
      ui::answer::PressButton(element.window, IDOK);
    });
  }
  ~Control() override {
    if (control_ != nullptr) KXTWNCTL_Destroy(control_);
    ui::SetAnswerer({});
    ::unsetenv("KSV_ROOT");
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder_ / name) << text; }
  std::string Folder() const { return folder_.string() + "/"; }
  void SetStatus(uint32_t value) { platform::RegistryStore::OpenMachineHive()->SetDword(kKey, "DriverStatus", value); }
  uint32_t Value(const char* name) {
    return platform::RegistryStore::OpenMachineHive()->GetDword(kKey, name).value_or(0xFFFFFFFF);
  }
  // A raw snapshot file of the driver's kind: 320 x 240, 24-bit rows from
  // byte 1024; `word` non-zero makes it one of the converter's kind.
  void WriteRaw(uint32_t word) {
    std::vector<uint8_t> bytes(1024 + 320 * 240 * 3);
    std::memcpy(&bytes[1], &word, 4);
    bytes[64] = 1;
    bytes[65] = 320 & 0xFF;
    bytes[66] = 320 >> 8;
    bytes[67] = 240;
    for (size_t i = 1024; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    std::ofstream(folder_ / "snapraw.dat", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
  }
  void Create(int32_t playback = 0, int32_t expectedReady = 0) {
    int32_t ready = -1;
    control_ = KXTWNCTL_Create(0, nullptr, &ready, playback);
    ASSERT_NE(control_, nullptr);
    EXPECT_EQ(ready, expectedReady);
  }
  void Tick() { Event(8, 0); }
  void Event(int32_t id, int32_t action, int32_t first = 0) {
    const KXTWNUI_EVENT event{1, id, action, first, 0};
    OnWindowEvent(reinterpret_cast<intptr_t>(control_), &event);
  }
  // A camera that stores nothing: the camera library opens on it.
  void UseEmptyCameraMemory() {
    outside::bulk::CameraMemory empty;
    outside::bulk::RecordingMode mode{0, 320, 240, {}};
    mode.tables.luminance.fill(1);
    mode.tables.chrominance.fill(1);
    empty.modes.push_back(mode);
    UseCameraMemory(empty);
  }
  void UseCameraMemory(const outside::bulk::CameraMemory& stored) {
    const fs::path memory = root_.path() / "camera.mem";
    const std::vector<uint8_t> image = outside::bulk::WriteMemoryImage(stored);
    std::ofstream(memory, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                  static_cast<std::streamsize>(image.size()));
    ASSERT_EQ(BULK_UseCameraMemory(memory.c_str()), 1);
  }
  // The kinds of the thumbnails the window holds.
  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const auto& item : control_->ui->grid.images) kinds.push_back(item->kind);
    return kinds;
  }

  testing::TempFolder root_;
  fs::path folder_;
  std::vector<std::string> messages_;
  KXTWNCTL_HANDLE control_ = nullptr;
};

TEST_F(Control, ProfileDefaultsAndOddValues) {
  const auto profile = ReadProfile((folder_ / "KSVCam.pro").string(), Folder(), "/win");
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->snapWidth, 640);
  EXPECT_EQ(profile->snapHeight, 480);
  EXPECT_EQ(profile->fourCc, 0x44434241u);
  EXPECT_EQ(profile->logoPath, "") << "a logo without LOGO_PT_X is not drawn";
  EXPECT_EQ(profile->rawFile, Folder() + "snapraw.dat");
  EXPECT_EQ(profile->rawDataType, -1.0);

  Write("drive.pro", "[TWAIN_DS]\nPRODNAME=P\n[USB_CAMERA]\nVID_PID=V\nDEVICE_NAME=D\n[VFW_LOC]\nVFW_LOC_NAME=L\n"
                     "[VIDEO_FORMAT]\nWIDTH=1\nHEIGHT=1\n[RAW_DATA]\nMODE=1\nFILE_NAME=C:\\WINDOWS\\temp\\snap.raw\n"
                     "RAW_DATA_TYPE=2x\n[COMPANY_LOGO]\nLOGO_BMP_FILE=l.bmp\nLOGO_PT_X=3\nLOGO_PT_Y=4\n");
  const auto drive = ReadProfile((folder_ / "drive.pro").string(), Folder(), "/win");
  ASSERT_TRUE(drive);
  EXPECT_EQ(drive->rawFile, "/win/system32/drivers/snap.raw");
  EXPECT_EQ(drive->rawDataType, 2.0);
  EXPECT_EQ(drive->logoPath, Folder() + "l.bmp");
  EXPECT_EQ(drive->logoX, 3);

  Write("short.pro", "[TWAIN_DS]\nPRODNAME=P\n[USB_CAMERA]\nDEVICE_NAME=D\n");
  EXPECT_FALSE(ReadProfile((folder_ / "short.pro").string(), Folder(), "/win")) << "no VID_PID";
  EXPECT_FALSE(FindDataSource((root_.path() / "TWAIN_32").string() + "/"));
  EXPECT_EQ(FindDataSource(Folder())->profile, Folder() + "KSVCam.pro");
}

// Created with no camera (a message box says so); a stored 320 x 240
// snapshot is resampled to the default 640 x 480, a converted one keeps its
// own size.
TEST_F(Control, SnapshotsFromTheDriversFile) {
  Create();
  ASSERT_EQ(messages_, std::vector<std::string>{"Camera is not connected to PC"});
  EXPECT_EQ(TakeSnapshot(*control_, false), false) << "no file yet";
  WriteRaw(0);
  ASSERT_TRUE(TakeSnapshot(*control_, false));
  WriteRaw(1);
  ASSERT_TRUE(TakeSnapshot(*control_, false));
  ASSERT_EQ(KXTWNCTL_GetTotalSelectedImg(control_), 1) << "none selected: the oldest";
  int32_t width = 0, height = 0;
  ASSERT_EQ(KXTWNCTL_GetImgDim(control_, 0, &width, &height), 1);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  ASSERT_EQ(KXTWNCTL_GetImgDim(control_, 1, &width, &height), 1);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);

  // The data source's progress shows in the status window, and hides it.
  HWND status = FindWindowA(nullptr, "Camera status");
  ASSERT_NE(status, nullptr);
  KXTWNCTL_TransferProgress(control_, 1, 2, 1);
  EXPECT_TRUE(IsWindowVisible(status));
  EXPECT_EQ(control_->status.text(), "Transfer ... 1 / 2");
  KXTWNCTL_TransferProgress(control_, 0, 0, 0);
  EXPECT_FALSE(IsWindowVisible(status));
}

// Nobody answers the trigger: the wait sleeps on the kernel's clock and
// gives up after five seconds; the camera library it opened is reset, so
// "BulkMode" is back to 0 for the next preview.
TEST_F(Control, ATriggeredSnapshotNobodyAnswersEndsAfterFiveSeconds) {
  UseEmptyCameraMemory();
  Create();
  WriteRaw(0);
  platform::kernel::SimulatedPerformanceCounter clock(10'000'000);
  platform::kernel::ScopedPerformanceCounter installed(clock);
  EXPECT_FALSE(TakeSnapshot(*control_, true));
  EXPECT_GE(clock.Counter(), 5 * 10'000'000);
  EXPECT_LT(clock.Counter(), 6 * 10'000'000);
  EXPECT_EQ(Value("SnapShoot"), 1u);
  EXPECT_EQ(Value("SnapShot"), 0u);
  EXPECT_EQ(Value("BulkMode"), 0u);
  EXPECT_EQ(KXTWNCTL_GetTotalSelectedImg(control_), 0) << "no image added";
}

// The camera removed, then in use elsewhere: the window says no camera until
// the camera is back and free.
TEST_F(Control, TheWatchRestartsOnlyForAFreeCamera) {
  Create();
  SetStatus(8);
  Tick();
  EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 5);
  for (const uint32_t status : {5u, 4u, 0xFFFFFFFFu}) {
    SetStatus(status);
    Tick();
    EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 5) << status;
    EXPECT_EQ(control_->preview, nullptr) << status;
  }
  SetStatus(7);
  Tick();
  EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 2);
  EXPECT_FALSE(control_->cameraMissing);
}

std::vector<std::string> calls;
void RecordCall(int32_t event) { calls.push_back("event " + std::to_string(event)); }

// Exit pressed while the settings pages run (their loop delivers the click):
// the data source hears it once the pages have returned, never from inside
// them.
TEST_F(Control, ExitPressedWhileThePagesRunIsHandledAfterThem) {
  usb::RegisterCameraDriver({KSV_CAMERA_DRIVER_MODULE, "RMC900 USB Camera"});
  simcam::SimulatedCamera camera;
  std::string error;
  auto stack = usb::CameraStack::Start(camera, &error);
  ASSERT_NE(stack, nullptr) << error;
  SetStatus(4);  // neither free nor in use: no preview is started
  Create();
  calls.clear();
  KXTWNCTL_SetCallback(control_, RecordCall);
  HWND window = KXTWNCTL_GetHWnd(control_);
  KXTWNCTL_Show(control_, SW_SHOW);
  const auto exitButton = ui::Find(GetDlgItem(window, 2004));
  ASSERT_NE(exitButton, nullptr);
  const POINT exitAt{(exitButton->rect.left + exitButton->rect.right) / 2,
                     (exitButton->rect.top + exitButton->rect.bottom) / 2};
  ui::SetAnswerer([&](const ui::ModalElement& element) {
    calls.push_back("pages");
    ui::input::MoveAt(window, exitAt.x, exitAt.y);
    ui::input::PressAt(window, exitAt.x, exitAt.y);
    ui::input::ReleaseAt(window, exitAt.x, exitAt.y);
    ui::answer::Settle(element.window);
    calls.push_back("pages closed");
    SendMessageA(element.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  SetStatus(5);  // the camera streams: Coloring opens the pages
  const KXTWNUI_EVENT coloring{1, 2, 3, 0, 0};
  OnWindowEvent(reinterpret_cast<intptr_t>(control_), &coloring);
  EXPECT_EQ(calls, (std::vector<std::string>{"pages", "pages closed", "event 1000"}));
  KXTWNCTL_Destroy(control_);
  control_ = nullptr;
}

// Downloaded items: a burst picture is shown as one, a failed item is
// skipped and the rest still come; a download whose pictures cannot be
// written counts as completed and says how many failed, so a second click
// only says it is done.
TEST_F(Control, DownloadShowsBurstsSkipsFailuresAndHappensOnce) {
  UseCameraMemory(simcam::DefaultCameraMemory(root_.path() / "no photographs"));
  Create(1);
  std::vector<uint8_t> pixels(16 * 16 * 3, 128);
  int32_t cancel = 0;
  char path[KXCAMAPI_PATH_BYTES] = {};
  const std::pair<int, DWORD> items[] = {{KXCAMAPI_KIND_BURST_PICTURE, 0},
                                         {KXCAMAPI_KIND_HQ_PICTURE, KXCAMAPI_WRITE_FAILED},
                                         {KXCAMAPI_KIND_LQ_PICTURE, 0}};
  for (const auto& [kind, status] : items) {
    BeginDownloadItem(*control_, kind, path, &cancel);
    ASSERT_EQ(std::string(path), control_->files.picture);
    ASSERT_TRUE(JPEG_SaveBMPImg(path, 90, 16, 16, pixels.data()));
    EndDownloadItem(*control_, status, path, &cancel);
  }
  EXPECT_EQ(cancel, 0) << "nothing stops the download";
  EXPECT_EQ(Kinds(), (std::vector<int>{KXTWNUI_BURST_PICTURE, KXTWNUI_LOW_PICTURE}));
  EXPECT_EQ(control_->failedItems, 1);

  // The pictures are written where a folder stands.
  fs::remove(control_->files.picture);
  fs::create_directory(control_->files.picture);
  RunCameraDownload(*control_);
  EXPECT_TRUE(control_->downloaded);
  EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 2);
  EXPECT_GE(control_->failedItems, 3) << "every stored picture failed";
  EXPECT_EQ(control_->status.text(),
            "Downloading... : " + std::to_string(control_->failedItems) + " items could not be downloaded");
  EXPECT_EQ(Kinds().size(), 2u) << "no picture added";
  Event(9, 1);
  EXPECT_EQ(control_->ui->tooltip, "Download is completed") << "the button's tooltip once downloaded";
  Event(9, 3);
  EXPECT_EQ(control_->ui->tooltip, "Download is completed");
  EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 2) << "no second download";
  EXPECT_FALSE(control_->busy);
}

// Clip thumbnails and the clip table stay aligned when a clip's first frame
// cannot be read; the 257th and later clips use the last entry; the clips
// are this control's own, and go with it while another's stay.
TEST_F(Control, ClipsOpenTheirOwnFiles) {
  common::WorkFolder other;
  ASSERT_TRUE(other.Claim(Folder() + "Clips/"));
  std::ofstream(other.path() + "theirs.AVI") << "x";
  Create(1);
  std::vector<std::string> opened;
  platform::shell::SetShellRecorder([&](const platform::shell::ShellCall& call) { opened.push_back(call.file); });
  std::vector<std::string> shown;  // by clip thumbnail number
  int32_t cancel = 0;
  char path[KXCAMAPI_PATH_BYTES] = {};
  for (int clip = 0; clip < 258; ++clip) {
    BeginDownloadItem(*control_, clip % 2 == 0 ? KXCAMAPI_KIND_STREAM_CLIP : KXCAMAPI_KIND_STREAM_LORES_CLIP, path,
                      &cancel);
    std::ofstream(path) << clip;
    const bool unreadable = clip == 1;
    ShowClipFrame(*control_, unreadable ? nullptr : common::CreatePackedBitmap(8, 6, 24),
                  clip % 2 == 0 ? KXTWNUI_CLIP : KXTWNUI_LOW_CLIP);
    if (!unreadable) shown.push_back(path);
  }
  ASSERT_EQ(shown.size(), 257u);
  EXPECT_TRUE(shown.back().ends_with("_255.AVI")) << shown.back();
  EXPECT_EQ(shown.front().rfind(Folder() + "Clips/", 0), 0u) << shown.front();
  for (const int number : {1, 2, 256}) Event(14, KXTWNUI_CLIP, number);
  platform::shell::SetShellRecorder({});
  EXPECT_EQ(opened, (std::vector<std::string>{shown[1], shown[2], shown[256]}));

  KXTWNCTL_Destroy(control_);
  control_ = nullptr;
  EXPECT_FALSE(fs::exists(shown.front()));
  EXPECT_TRUE(fs::exists(other.path() + "theirs.AVI"));
}

// Save All answered No keeps the preview and writes nothing; answered Yes
// it makes the time-stamped folder under the chosen one and remembers the
// choice. Its names, a drive root's too, and the queue it empties after.
TEST_F(Control, SaveAllAnsweredNoThenYes) {
  EXPECT_EQ(SaveAllFolderName({2026, 12, 0, 6, 9, 30, 5, 0}), "12062026_093005");
  EXPECT_EQ(SaveAllTarget("/", "12062026_093005"), "/12062026_093005/");
  EXPECT_EQ(SaveAllTarget("/media/card", "x"), "/media/card/x/");
  EXPECT_EQ(SaveAllTarget("/media/card/", "x"), "/media/card/x/");

  UseEmptyCameraMemory();
  SetStatus(7);
  Create(1, 1);
  ASSERT_NE(control_->preview, nullptr);
  const fs::path chosen = root_.path() / "Pictures";
  fs::create_directory(chosen);
  int answer = IDNO;
  std::vector<std::string> statuses;
  ui::SetAnswerer([&](const ui::ModalElement& element) {
    if (element.kind == ui::ModalKind::FolderBrowser) {
      ui::answer::Settle(element.window);
      char status[260] = {};
      GetDlgItemTextA(element.window, kBrowserStatusId, status, sizeof status);
      statuses.push_back(status);
      ui::answer::TypeInto(element.window, kBrowserEditId, chosen.string());
      ui::answer::PressButton(element.window, IDOK);
    } else {
      ui::answer::PressButton(element.window, answer);
    }
  });
  Event(10, 3);
  EXPECT_NE(control_->preview, nullptr) << "restarted";
  EXPECT_TRUE(fs::is_empty(chosen));
  EXPECT_EQ(KXTWNUI_GetUIState(control_->ui), 2);
  EXPECT_FALSE(control_->saved);

  answer = IDYES;
  Event(10, 3);
  EXPECT_TRUE(control_->saved);
  std::vector<fs::path> made{fs::directory_iterator(chosen), fs::directory_iterator()};
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].filename().string().size(), 15u) << made[0];
  answer = IDNO;
  Event(10, 3);
  ASSERT_EQ(statuses.size(), 3u);
  EXPECT_NE(statuses[1], chosen.string());
  EXPECT_EQ(statuses[2], chosen.string()) << "the browser opens on the last folder saved into";

  // Up to 99 queued messages go; an empty queue is not waited on.
  HWND window = KXTWNCTL_GetHWnd(control_);
  for (int i = 0; i < 120; ++i) PostMessageA(window, WM_USER + 7, 0, 0);
  DiscardQueuedMessages();
  MSG message{};
  int left = 0;
  while (PeekMessageA(&message, window, WM_USER + 7, WM_USER + 7, PM_REMOVE)) ++left;
  EXPECT_EQ(left, 21);
  const auto start = std::chrono::steady_clock::now();
  DiscardQueuedMessages();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// Exit pressed while a download or Save All runs stops it; the data source
// hears Exit once the work has returned.
TEST_F(Control, ExitPressedDuringADownloadOrSaveAllWaitsForIt) {
  UseEmptyCameraMemory();
  Create(1);
  calls.clear();
  KXTWNCTL_SetCallback(control_, RecordCall);
  Event(9, 3);
  EXPECT_TRUE(control_->status.shown());
  Event(5, 3);
  EXPECT_TRUE(calls.empty()) << "not while the download is to come";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  MSG message{};
  while (calls.empty() && std::chrono::steady_clock::now() < until) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  EXPECT_EQ(calls, std::vector<std::string>{"event 1000"});
  EXPECT_FALSE(control_->downloading);
  EXPECT_FALSE(control_->cancelWork);

  calls.clear();
  const fs::path chosen = root_.path() / "Saved";
  fs::create_directory(chosen);
  ui::SetAnswerer([&](const ui::ModalElement& element) {
    if (element.kind == ui::ModalKind::FolderBrowser) {
      calls.push_back("browser");
      Event(5, 3);
      ui::answer::TypeInto(element.window, kBrowserEditId, chosen.string());
      ui::answer::PressButton(element.window, IDOK);
    } else {
      calls.push_back("question");
      ui::answer::PressButton(element.window, IDYES);
    }
  });
  Event(10, 3);
  EXPECT_EQ(calls, (std::vector<std::string>{"browser", "question", "event 1000"}));
  EXPECT_FALSE(control_->saved);
  EXPECT_TRUE(fs::is_empty(chosen)) << "nothing saved once Exit was pressed";
}

}  // namespace
}  // namespace ksv::twainctl
