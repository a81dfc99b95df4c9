// The camera's still-image minidriver in the service stand-in: the item
// tree from the device's folder, deleting an item, the snapshot command,
// and the button events of the event thread; and `ksvcam wia` on the
// simulated camera.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <thread>

#include "platform/com/apartment.h"
#include "platform/com/inproc_servers.h"
#include "platform/registry/win32_registry.h"
#include "platform/ui/user32.h"
#include "platform/wia/service.h"
#include "support/picture/picture_file.h"
#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;
namespace wia = ksv::platform::wia;

constexpr GUID kSnapshotButton = ksv::com::Guid("A6C5A715-8C6E-11D2-977A-0000F87A926F");
constexpr CLSID kDriverClass = ksv::com::Guid("9219CFC9-88A4-4AAB-A9CA-F3054A515B05");
constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

std::string Ksvcam(const std::string& arguments) {
  FILE* pipe = popen((std::string(KSVCAM_BINARY) + " " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "(not run)";
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  return pclose(pipe) == 0 ? text : "(failed) " + text;
}

void SetValue(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

DWORD Value(const char* name) {
  DWORD value = 0xFFFFFFFFu;
  DWORD size = sizeof value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return value;
}

// A 24-bit bitmap file, white, or with each row's bytes its number in the
// file (`numbered`); `rowsGiven` cuts its rows short.
void WriteWhiteBitmap(const fs::path& path, uint32_t width, uint32_t height, uint32_t rowsGiven,
                      bool numbered = false) {
  const uint32_t row = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> file(54 + row * rowsGiven, 0xFF);
  for (uint32_t y = 0; numbered && y < rowsGiven; ++y) std::fill_n(file.begin() + 54 + y * row, row, y);
  const auto put = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, 54 + row * height);
  put(6, 0);
  put(10, 54);
  put(14, 40);
  put(18, width);
  put(22, height);
  put(26, 1 | 24 << 16);
  for (size_t at = 30; at < 54; at += 4) put(at, 0);
  ksv::testing::WriteFile(path, file);
}

// A machine set up by `ksvcam setup`, with the camera streaming (5), so the
// device's first initialisation copies nothing, and pictures already in
// its folder.
class WiaDevice : public ::testing::Test {
 protected:
  WiaDevice() {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    ::unsetenv("CAMERA_ROOT");
    EXPECT_NE(Ksvcam("setup").find("registered the still-image device"), std::string::npos);
    SetValue("DriverStatus", 5);
    for (const char* file : {"HQ0.JPG", "WQ0.JPG", "Clip0.AVI", "README", "sub.d/keep.bmp"}) {
      fs::create_directories((folder_ / file).parent_path());
      std::ofstream(folder_ / file) << "bytes";
    }
    WriteWhiteBitmap(folder_ / "Full.BMP", 640, 480, 480);
    WriteWhiteBitmap(folder_ / "Wide.bmp", 320, 100, 100);
    WriteWhiteBitmap(folder_ / "Short.BMP", 320, 100, 40);
    WriteWhiteBitmap(folder_ / "Rows.BMP", 4, 3, 3, true);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::string error;
    session_ = wia::DeviceSession::Open({"0000", "camera", kDriverClass}, &error);
    EXPECT_TRUE(session_) << error;
  }
  ~WiaDevice() override {
    session_.reset();
    CoUninitialize();
  }

  std::set<std::string> ItemNames() {
    std::set<std::string> names;
    for (const wia::ItemView& item : session_->Items()) {
      if (item.depth == 1) names.insert(item.name);
    }
    return names;
  }

  ksv::testing::TempFolder root_;
  const fs::path folder_ = root_ / "KSV1";
  std::unique_ptr<wia::DeviceSession> session_;
};

TEST_F(WiaDevice, ShowsTheFolderFilesAsImagesAndDeletesThem) {
  ASSERT_TRUE(session_);
  const std::vector<wia::ItemView> items = session_->Items();
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].flags, WiaItemTypeFolder | WiaItemTypeDevice | WiaItemTypeRoot);
  EXPECT_EQ(items[0].fullName, "0000\\Root");
  // A name without a dot and a folder (a dot in its name or not) give no item.
  EXPECT_EQ(ItemNames(), (std::set<std::string>{"HQ0", "WQ0", "Clip0", "Full", "Wide", "Short", "Rows"}));
  for (const wia::ItemView& item : items) {
    if (item.name != "HQ0") continue;
    EXPECT_EQ(item.flags, WiaItemTypeFile | WiaItemTypeImage);
    EXPECT_EQ(item.fullName, "0000\\Root\\HQ0");
  }
  // The registry says where the folder is, through the value driver, and
  // so does the root's own property.
  EXPECT_EQ(Ksvcam("registry get WiaRootPath"), folder_.string() + "\n");
  std::vector<wia::ItemProperty> properties;
  ASSERT_EQ(session_->Properties("", &properties), S_OK);
  EXPECT_EQ(properties.size(), 17u);
  EXPECT_EQ(properties.back().id, 38914u);
  EXPECT_EQ(properties.back().name, u"Test Camera Root Path");
  EXPECT_EQ(properties.back().text, folder_.u16string());

  EXPECT_EQ(session_->DeleteItem("WQ0"), S_OK);
  EXPECT_FALSE(fs::exists(folder_ / "WQ0.JPG"));
  EXPECT_EQ(ItemNames(), (std::set<std::string>{"HQ0", "Clip0", "Full", "Wide", "Short", "Rows"}));
  EXPECT_EQ(session_->DeleteItem("WQ0"), E_INVALIDARG);
  // An existing tree stays through a synchronize.
  std::ofstream(folder_ / "HQ1.JPG") << "bytes";
  EXPECT_EQ(session_->Command(WIA_CMD_SYNCHRONIZE), S_OK);
  EXPECT_EQ(ItemNames().count("HQ1"), 0u);

  // Nothing pending.
  STINOTIFY notification{};
  EXPECT_EQ(session_->Usd()->GetNotificationData(&notification), STIERR_NOEVENTS);
  // Aggregated, the driver hands out its non-delegating unknown only.
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kDriverClass, session_->Usd(), CLSCTX_INPROC_SERVER, IStiUSD::kIid,
                             reinterpret_cast<void**>(&object)),
            CLASS_E_NOAGGREGATION);
}

// The thumbnail's rows, top first: whether each is white across the
// drawn width and black beyond it.
std::vector<uint8_t> Thumbnail(wia::DeviceSession& session, const std::string& item) {
  std::vector<wia::ItemProperty> properties;
  EXPECT_EQ(session.Properties(item, &properties), S_OK);
  for (const wia::ItemProperty& property : properties) {
    if (property.id == 5122) return property.bytes;
  }
  return {};
}

bool White(const std::vector<uint8_t>& thumbnail, int x, int y) {
  return thumbnail[(59 - y) * 240 + 3 * x] == 0xFF;  // rows bottom-up
}

TEST_F(WiaDevice, ThumbnailsKeepThePictureProportionsAndDamagedFilesFailCleanly) {
  ASSERT_TRUE(session_);
  const std::vector<uint8_t> full = Thumbnail(*session_, "Full");
  ASSERT_EQ(full.size(), 14400u);
  EXPECT_TRUE(White(full, 0, 0) && White(full, 79, 59));
  // 320 x 100: 80 x 25 at the top, the rest black.
  const std::vector<uint8_t> wide = Thumbnail(*session_, "Wide");
  ASSERT_EQ(wide.size(), 14400u);
  EXPECT_TRUE(White(wide, 0, 0) && White(wide, 79, 24));
  EXPECT_FALSE(White(wide, 0, 25) || White(wide, 79, 59));
  // Pictures that cannot be read give the device's errors.
  std::vector<wia::ItemProperty> properties;
  EXPECT_EQ(session_->Properties("Short", &properties), E_FAIL);  // rows missing
  EXPECT_EQ(session_->Properties("HQ0", &properties), E_OUTOFMEMORY);  // not a JPEG
  EXPECT_EQ(session_->Properties("Clip0", &properties), E_OUTOFMEMORY);  // no frame
  fs::remove(folder_ / "WQ0.JPG");
  EXPECT_EQ(session_->Properties("WQ0", &properties), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  // The temporary bitmaps went with the calls.
  for (const auto& entry : fs::directory_iterator(root_.path())) {
    EXPECT_EQ(entry.path().extension(), "") << entry.path();
  }
}

TEST_F(WiaDevice, TransfersTheBitmapAsItIsOrTopFirstWithoutTouchingTheFile) {
  ASSERT_TRUE(session_);
  const std::vector<uint8_t> file = ksv::testing::ReadFile(folder_ / "Rows.BMP");
  std::vector<BYTE> received;
  // A file: the service's headers (rows bottom-up), then the rows as the file has them.
  ASSERT_EQ(session_->Transfer("Rows", WiaImgFmt_BMP, TYMED_FILE, &received), S_OK);
  ASSERT_EQ(received.size(), file.size());
  EXPECT_TRUE(received[0] == 'B' && received[1] == 'M' && received[22] == 3 && received[10] == 54);
  EXPECT_TRUE(std::equal(received.begin() + 54, received.end(), file.begin() + 54));

  // By callback, in memory form: the header (40 bytes, height -3), then
  // the rows top first (the file's last row first), in buffers of at most
  // the item's buffer size.
  std::vector<LONG> offsets;
  ASSERT_EQ(session_->Transfer("Rows", WiaImgFmt_MEMORYBMP, TYMED_CALLBACK, &received,
                               [&offsets](LONG, LONG offset, const BYTE*, LONG) { offsets.push_back(offset); }),
            S_OK);
  ASSERT_EQ(received.size(), 40u + 3 * 12);
  EXPECT_EQ(offsets.front(), 0);
  EXPECT_EQ(offsets.at(1), 40);
  EXPECT_EQ(static_cast<int32_t>(received[8] | received[9] << 8 | received[10] << 16 | received[11] << 24), -3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(received[40 + 12 * row], 2 - row) << row;
  EXPECT_EQ(ksv::testing::ReadFile(folder_ / "Rows.BMP"), file);
  // The callback takes the memory form only.
  EXPECT_EQ(session_->Transfer("Rows", WiaImgFmt_BMP, TYMED_CALLBACK, &received), E_INVALIDARG);
}

TEST_F(WiaDevice, AnotherRootFolderGivesANewTreeAsTheDeviceConnectsAgain) {
  ASSERT_TRUE(session_);
  const fs::path other = root_ / "elsewhere";
  fs::create_directories(other);
  std::ofstream(other / "X1.JPG") << "bytes";
  PROPVARIANT value{};
  value.vt = VT_I4;
  value.lVal = 1;
  EXPECT_EQ(session_->WriteProperty("", 2050, value), E_ACCESSDENIED);  // Pictures Taken: read only
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(other.u16string().c_str());
  EXPECT_EQ(session_->WriteProperty("", 38914, value), S_OK);
  SysFreeString(value.bstrVal);
  const std::optional<GUID> event = session_->WaitForEvent(1000);
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, WIA_EVENT_DEVICE_CONNECTED);
  EXPECT_EQ(ItemNames(), (std::set<std::string>{"X1"}));
  // It stays: the event thread, which follows the registry's root folder,
  // does not take the device back to the old one.
  EXPECT_FALSE(session_->WaitForEvent(1500));
  EXPECT_EQ(Ksvcam("registry get WiaRootPath"), other.string() + "\n");
}

TEST_F(WiaDevice, TheSnapshotCommandPressesTheButtonOnlyWhileTheCameraIsIdle) {
  ASSERT_TRUE(session_);
  SetValue("TimerTrigger", 0);
  EXPECT_EQ(session_->Command(kSnapshotButton), S_OK);
  EXPECT_EQ(Value("TimerTrigger"), 0u);
  SetValue("DriverStatus", 3);
  EXPECT_EQ(session_->Command(kSnapshotButton), S_OK);
  EXPECT_EQ(Value("TimerTrigger"), 1u);
}

TEST_F(WiaDevice, RaisesTheButtonEventOnceWhenNoOtherCameraApplicationRuns) {
  ASSERT_TRUE(session_);
  // While the camera streams, the trigger waits.
  SetValue("TimerTrigger", 1);
  EXPECT_FALSE(session_->WaitForEvent(1500));
  EXPECT_EQ(Value("TimerTrigger"), 1u);
  // Once it stops, the next poll raises the event once and resets it.
  SetValue("DriverStatus", 3);
  const std::optional<GUID> event = session_->WaitForEvent(2500);
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, kSnapshotButton);
  EXPECT_EQ(Value("TimerTrigger"), 0u);
  EXPECT_FALSE(session_->WaitForEvent(1200));

  // Another camera application's window takes the button: reset only.
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "KSVWindowclass";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "KSVWindowclass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetValue("TimerTrigger", 1);
  EXPECT_FALSE(session_->WaitForEvent(2500));
  EXPECT_EQ(Value("TimerTrigger"), 0u);
  DestroyWindow(window);
  UnregisterClassA("KSVWindowclass", nullptr);
}

TEST(WiaCommand, CopiesTheCameraAndListsEveryKindOfItem) {
  ksv::testing::TempFolder root;
  ::setenv("KSV_ROOT", root.path().c_str(), 1);
  Ksvcam("setup");
  const std::string listed = Ksvcam("wia items");
  for (const char* name : {"HQ0\tfile,image", "WQ0\tfile,image", "Burst0\tfile,image", "Clip0\tfile,image"}) {
    EXPECT_NE(listed.find(std::string("  ") + name), std::string::npos) << listed;
  }
  EXPECT_EQ(listed.find("(failed)"), std::string::npos) << listed;
  EXPECT_TRUE(fs::is_regular_file(root / "KSV1" / "Clip0.AVI"));

  // A transfer gives the picture the camera's JPEG file holds, in either
  // form and row order.
  const ksv::picture::RgbPicture downloaded = ksv::picture::ReadPicture(root / "KSV1" / "HQ0.JPG");
  for (const char* options : {"", " --memory-bitmap --callback"}) {
    const fs::path file = root / "transferred.bmp";
    EXPECT_EQ(Ksvcam("wia transfer HQ0 -o " + file.string() + options).find("(failed)"), std::string::npos);
    const ksv::picture::RgbPicture transferred = ksv::picture::ReadPicture(file);
    EXPECT_EQ(transferred.width, 640u) << options;
    EXPECT_TRUE(transferred.pixels == downloaded.pixels) << options;
  }
}

}  // namespace
