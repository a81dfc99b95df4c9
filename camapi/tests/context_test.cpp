// Opening and closing contexts, and the small exports.
#include <fstream>
#include <optional>
#include <set>

#include "camapi/camera_context.h"
#include "camapi/tests/camapi_test_support.h"
#include "common/bitmap_file.h"
#include "common/packed_bitmap.h"
#include "include/oksv1dnl.h"
#include "platform/memory/global_memory.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry_store.h"
#include "platform/version/version.h"
#include "simcam/memory_builder.h"
#include "testing/allocation_counter.h"

namespace ksv::camapi::testing {
namespace {

namespace fs = std::filesystem;

class Context : public CamapiTest {
 protected:
  Context() { UsePhotoMemory(); }

  std::optional<uint32_t> BulkMode() {
    return platform::RegistryStore::OpenMachineHive()->GetDword("Software\\Tarvio\\KSV Drivers\\",
                                                                "BulkMode");
  }
  fs::path ClipFolder() const { return root_ / "lib" / "RM900Clp"; }
};

TEST_F(Context, NeedsAModuleAndAWindowBeforeConnecting) {
  const auto user = reinterpret_cast<intptr_t>(&recorder_);
  EXPECT_EQ(KXCAMAPI_Init(RecordBegin, RecordEnd, user, nullptr, window_), nullptr);
  EXPECT_EQ(KXCAMAPI_InitKSV(RecordBegin, RecordEnd, user, module_, nullptr), nullptr);
  // No connection was opened: the bulk library never set "BulkMode".
  EXPECT_EQ(BulkMode(), std::nullopt);
}

// Each context works in a folder of its own in the clip work folder and
// removes it at its end; another live context's files, and anything else
// in the folder, stay.
TEST_F(Context, WorksInAClipFolderOfItsOwnAndRemovesItAtTheEnd) {
  fs::create_directories(ClipFolder() / "kept");
  std::ofstream(ClipFolder() / "CLP1.TMP") << "someone's frame";
  BULK_UseCameraMemory((root_ / "missing.mem").c_str());
  EXPECT_EQ(Open(), nullptr);
  EXPECT_TRUE(fs::exists(ClipFolder() / "CLP1.TMP"));

  UsePhotoMemory();
  KXCAMAPI_HANDLE context = KXCAMAPI_Init(RecordBegin, RecordEnd, 0, module_, window_);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(BulkMode(), 1u);
  const fs::path own = context->clipFolder;
  EXPECT_EQ(own.parent_path().parent_path(), ClipFolder());
  EXPECT_TRUE(fs::is_directory(own));
  std::ofstream(own / "CLP2.TMP") << "frame";
  KXCAMAPI_HANDLE other = KXCAMAPI_Init(RecordBegin, RecordEnd, 0, module_, window_);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other->clipFolder, context->clipFolder);
  EXPECT_TRUE(fs::exists(own / "CLP2.TMP")) << "another context's start deleted it";
  EXPECT_EQ(KXCAMAPI_Reset(other), 0);
  EXPECT_TRUE(fs::exists(own / "CLP2.TMP"));
  EXPECT_EQ(KXCAMAPI_Reset(context), 0);
  EXPECT_FALSE(fs::exists(own));
  EXPECT_TRUE(fs::exists(ClipFolder() / "CLP1.TMP"));
  EXPECT_TRUE(fs::is_directory(ClipFolder() / "kept"));
  EXPECT_EQ(BulkMode(), 0u);
  EXPECT_EQ(KXCAMAPI_Reset(nullptr), 1);
}

TEST_F(Context, TheLaterInitDecidesKsvMode) {
  ASSERT_NE(Open(false), nullptr);
  EXPECT_FALSE(KsvMode());
  ASSERT_NE(Open(true), nullptr);
  EXPECT_TRUE(KsvMode());
  ASSERT_NE(Open(false), nullptr);
  EXPECT_FALSE(KsvMode());
}

TEST_F(Context, TwoContextsKeepTheirOwnDecoder) {
  KXCAMAPI_HANDLE first = Open();
  KXCAMAPI_HANDLE second = KXCAMAPI_Init(RecordBegin, RecordEnd,
                                         reinterpret_cast<intptr_t>(&recorder_), module_, window_);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(KXCAMAPI_Reset(second), 0);
  // The first context still decodes its bursts.
  EXPECT_EQ(KXCAMAPI_Download(first), 0);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_BURST_PICTURE], 5u);
}

TEST_F(Context, CountsPerTypeAndBurstsCountFivePictures) {
  outside::bulk::CameraMemory memory = PhotoMemory();
  memory.items.push_back(memory.items[2]);  // a second burst
  UseMemory(memory);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  int count = -1;
  EXPECT_EQ(KXCAMAPI_GetNumHQImg(context, &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(KXCAMAPI_GetNumLQImg(context, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(KXCAMAPI_GetNumVdoClip(context, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(KXCAMAPI_GetNumVdoClip_LoRes(context, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(KXCAMAPI_GetNumBurst(context, &count), 0);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(KXCAMAPI_GetNumBurst(context, nullptr), 1);
  EXPECT_EQ(KXCAMAPI_GetNumBurst(nullptr, &count), 1);

  // A bulk failure gives a distinct status per type.
  BULK_Reset(context->bulk->handle);
  std::set<int> statuses;
  statuses.insert(KXCAMAPI_GetNumHQImg(context, &count));
  statuses.insert(KXCAMAPI_GetNumLQImg(context, &count));
  statuses.insert(KXCAMAPI_GetNumVdoClip(context, &count));
  statuses.insert(KXCAMAPI_GetNumVdoClip_LoRes(context, &count));
  statuses.insert(KXCAMAPI_GetNumBurst(context, &count));
  EXPECT_EQ(statuses.size(), 5u);
  EXPECT_EQ(statuses.count(0), 0u);
  context->bulk->handle = 0;  // already closed
}

TEST_F(Context, ClearsTheNewestOrEveryItem) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  int count = 0;
  EXPECT_EQ(KXCAMAPI_ClearLastOne(context), 0);  // the raw recording
  EXPECT_EQ(KXCAMAPI_ClearLastOne(context), 0);  // the second high-quality picture
  KXCAMAPI_GetNumHQImg(context, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(KXCAMAPI_ClearCamera(context), 0);
  KXCAMAPI_GetNumBurst(context, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(KXCAMAPI_ClearLastOne(context), 7);
  EXPECT_EQ(KXCAMAPI_ClearCamera(nullptr), 1);
  // The per-item download counts again and finds nothing to fetch.
  EXPECT_EQ(KXCAMAPI_Download(context), 0);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(Context, CameraVersions) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  char text[256];
  EXPECT_EQ(KXCAMAPI_GetFWVer(context, text), 0);
  EXPECT_STREQ(text, "fw 1.0");
  EXPECT_EQ(KXCAMAPI_GetSensorVer(context, text), 0);
  EXPECT_STREQ(text, "sensor 2.0");
  EXPECT_EQ(KXCAMAPI_GetAsicVer(context, text), 0);
  EXPECT_STREQ(text, "chip 3.0");
  EXPECT_EQ(KXCAMAPI_GetFWVer(context, nullptr), 1);
  EXPECT_EQ(KXCAMAPI_GetAsicVer(nullptr, text), 1);
  BULK_Reset(context->bulk->handle);
  EXPECT_EQ(KXCAMAPI_GetFWVer(context, text), 21);
  EXPECT_EQ(KXCAMAPI_GetSensorVer(context, text), 22);
  EXPECT_EQ(KXCAMAPI_GetAsicVer(context, text), 23);
  context->bulk->handle = 0;
}

TEST_F(Context, DriverVersionsComeFromTheDriverFiles) {
  char text[256] = "unchanged";
  EXPECT_EQ(KXCAMAPI_GetVideoDriverVer(text), 0);
  const fs::path drivers = root_ / "system32" / "drivers";
  fs::create_directories(drivers);
  platform::VersionInfo info;
  info.language = 0x0407;
  info.codePage = 0x04E4;
  info.texts = {{"ProductName", "KSV"}, {"FileVersion", "5.1.2600.7"}};
  const std::vector<uint8_t> resource = platform::BuildVersionResource(info);
  std::ofstream(drivers / "OKSV1VID.SYS", std::ios::binary)
      .write(reinterpret_cast<const char*>(resource.data()), static_cast<std::streamsize>(resource.size()));
  EXPECT_EQ(KXCAMAPI_GetVideoDriverVer(text), 1);
  EXPECT_STREQ(text, "5.1.2600.7");
  EXPECT_EQ(KXCAMAPI_GetBulkDriverVer(text), 0);
  EXPECT_EQ(KXCAMAPI_GetVideoDriverVer(nullptr), 0);

  // A resource above 2,048 bytes is not read.
  info.texts.push_back({"Comments", std::string(1500, 'c')});
  const std::vector<uint8_t> large = platform::BuildVersionResource(info);
  std::ofstream(drivers / "OKSV1BLK.SYS", std::ios::binary)
      .write(reinterpret_cast<const char*>(large.data()), static_cast<std::streamsize>(large.size()));
  EXPECT_EQ(KXCAMAPI_GetBulkDriverVer(text), 0);
}

TEST_F(Context, RegistryPassThroughsAndNullContexts) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(KXCAMAPI_WriteDriverRegistryDword(context, "SnapShot", 0), 1);
  EXPECT_EQ(KXCAMAPI_WriteDriverRegistryString(context, "Note", "text"), 1);
  EXPECT_EQ(KXCAMAPI_WriteDriverRegistryDword(context, "", 0), 0);  // the bulk library's answer
  EXPECT_EQ(platform::RegistryStore::OpenMachineHive()->GetDword("Software\\Tarvio\\KSV Drivers",
                                                                 "SnapShot"),
            0u);
  EXPECT_EQ(KXCAMAPI_WriteDriverRegistryDword(nullptr, "SnapShot", 1), 1);
  EXPECT_EQ(KXCAMAPI_WriteDriverRegistryString(nullptr, "Note", "x"), 1);
  EXPECT_EQ(KXCAMAPI_SetAudioUpSampleRate(context, 44100), 0);
  EXPECT_EQ(context->bulk->upSampleRate, 44100u);
  EXPECT_EQ(KXCAMAPI_SetAudioUpSampleRate(nullptr, 44100), 1);
  EXPECT_EQ(KXCAMAPI_Download(nullptr), 1);
  EXPECT_EQ(KXCAMAPI_GetAllImgs(nullptr, nullptr), 1);
  EXPECT_EQ(KXCAMAPI_GetVideoFrame(nullptr), nullptr);
}

// Out of memory inside an export is its failure code, never an exception
// thrown at a C caller.
TEST_F(Context, AFailedAllocationIsAFailureNotAnException) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ksv::testing::FailAllocations(true);
  const int stream = KXCAMAPI_GetAllImgs(context, nullptr);
  ksv::testing::FailAllocations(false);
  EXPECT_NE(stream, KXCAMAPI_OK);
}

TEST_F(Context, VideoFrameIsTheFirstFrameOfTheClipJustMade) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(KXCAMAPI_GetVideoFrame(context), nullptr);  // no clip made yet
  // A clip's information file and first frame, as the clip download leaves them.
  const fs::path folder = root_ / "lib" / "RM900Clp";
  const std::string info = (folder / "CLP11_0.PRO").string();
  auto makeClipFiles = [&] {
    const fs::path own = context->clipFolder;
    HGLOBAL frame = common::CreatePackedBitmap(160, 120, 24);
    static_cast<uint8_t*>(GlobalLock(frame))[40] = 0x5A;
    GlobalUnlock(frame);
    ASSERT_TRUE(common::WriteBitmapFile((own / "CLP12.TMP").c_str(), frame));
    GlobalFree(frame);
    WritePrivateProfileStringA("CLIP_FILE", "1", "\"CLP12.TMP\"", info.c_str());
    context->clipInfoPaths[0] = info;
  };

  // In KSV mode there is never a frame.
  ASSERT_NE(Open(true), nullptr);
  makeClipFiles();
  EXPECT_EQ(KXCAMAPI_GetVideoFrame(context), nullptr);

  ASSERT_NE(Open(false), nullptr);
  makeClipFiles();
  HGLOBAL first = KXCAMAPI_GetVideoFrame(context);
  ASSERT_NE(first, nullptr);
  const void* bits = GlobalLock(first);
  EXPECT_EQ(common::PackedBitmapWidth(bits), 160);
  EXPECT_EQ(common::PackedBitmapPixels(bits)[0], 0x5A);
  GlobalUnlock(first);
  GlobalFree(first);

  // A frame name that leaves the work folder is not followed.
  WritePrivateProfileStringA("CLIP_FILE", "1", "\"../CLP12.TMP\"", info.c_str());
  EXPECT_EQ(KXCAMAPI_GetVideoFrame(context), nullptr);
}

}  // namespace
}  // namespace ksv::camapi::testing
