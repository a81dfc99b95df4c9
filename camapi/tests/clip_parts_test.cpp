// The pieces of a clip download: the frame supplier the AVI maker pulls
// from, the codec settings set for the clip graph, the 256-clip limit, the
// information file a per-item build depends on, KSV mode, and the first
// frame handed to the end callback.
#include <gtest/gtest.h>

#include <cstring>

#include "camapi/camera_context.h"
#include "camapi/clip_files.h"
#include "camapi/clip_maker.h"
#include "camapi/codec_settings.h"
#include "camapi/tests/camapi_test_support.h"
#include "common/folders.h"
#include "common/packed_bitmap.h"
#include "include/vexel5.h"
#include "platform/memory/global_memory.h"
#include "platform/profile/profile.h"
#include "platform/registry/win32_registry.h"
#include "platform/sync/sync.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "testing/small_file_system.h"

namespace ksv::camapi::testing {
namespace {

namespace fs = std::filesystem;
using outside::bulk::CameraMemory;

class ClipParts : public CamapiTest {
 protected:
  // A memory of `count` 320 x 240 clips of `chunks` chunks each.
  void UseClips(size_t count, size_t chunks) {
    CameraMemory memory = EmptyMemory();
    const std::vector<picture::RgbPicture> scenes(chunks, Photo("coffee"));
    for (size_t i = 0; i < count; ++i) {
      memory.items.push_back(simcam::MakeClipItem(scenes, *memory.FindMode(simcam::kClipMode),
                                                  outside::bulk::kClipSubtype,
                                                  simcam::ClipSound::kAdpcm8000, {8000, {}}));
    }
    UseMemory(memory);
  }
  std::vector<std::string> InfoFiles() {
    std::vector<std::string> files;
    // Each context keeps its files in a folder of its own below the work folder.
    for (const auto& entry : fs::recursive_directory_iterator(root_ / "lib" / "RM900Clp")) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".PRO")) files.push_back(name);
    }
    return files;
  }
};

// A frame as the supplier's buffer holds it: every byte `value`.
HGLOBAL Frame(uint8_t value) {
  HGLOBAL bitmap = common::CreatePackedBitmap(8, 4, 24);
  void* bits = GlobalLock(bitmap);
  std::memset(common::PackedBitmapPixels(bits), value, 8 * 4 * 3);
  GlobalUnlock(bitmap);
  return bitmap;
}

TEST_F(ClipParts, TheSupplierSignalsAfterTheLastFrameAndThenHasNoMore) {
  UseClips(0, 0);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(WriteClipInfo(*context, 3, 100));
  for (uint8_t n = 1; n <= 3; ++n) {
    HGLOBAL frame = Frame(static_cast<uint8_t>(n * 10));
    ASSERT_TRUE(SaveClipFrame(*context, frame, n));
    GlobalFree(frame);
  }
  const std::string info = context->clipInfoPaths[0];
  char text[32];
  GetPrivateProfileStringA("CLIP_FILE", "3", "NULL", text, sizeof text, info.c_str());
  EXPECT_STRNE(text, "NULL") << "keys run 1 to 3";

  ClipMakerRecord record;
  ASSERT_TRUE(BuildClipMakerRecord(info, record));
  EXPECT_EQ(record.total, 3u);
  EXPECT_EQ(record.frameMs, 100);
  EXPECT_EQ(record.width, 8);
  EXPECT_EQ(record.height, 4);
  EXPECT_EQ(record.bitsPerPixel, 24);
  record.doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<BYTE> buffer(8 * 4 * 3);
  for (uint8_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(WaitForSingleObject(record.doneEvent, 0), WAIT_TIMEOUT) << "before frame " << int(n);
    EXPECT_EQ(ClipFrameSupplier(buffer.data(), reinterpret_cast<intptr_t>(&record)), 1);
    EXPECT_EQ(buffer.front(), n * 10);
    EXPECT_EQ(buffer.back(), n * 10);
  }
  EXPECT_EQ(WaitForSingleObject(record.doneEvent, 0), WAIT_OBJECT_0) << "after the last frame";
  buffer.assign(buffer.size(), 7);
  EXPECT_EQ(ClipFrameSupplier(buffer.data(), reinterpret_cast<intptr_t>(&record)), 0);
  EXPECT_EQ(buffer.front(), 7) << "past TOTAL nothing is written";
  CloseHandle(record.doneEvent);

  // Without TOTAL there is no record to build.
  WritePrivateProfileStringA("CLIP_INFO", "TOTAL", nullptr, info.c_str());
  ClipMakerRecord none;
  EXPECT_FALSE(BuildClipMakerRecord(info, none));
}

void SetCodecValue(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

std::vector<std::optional<DWORD>> CodecValues() {
  std::vector<std::optional<DWORD>> values;
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, KEY_READ, &key);
  for (const char* name : CodecSettingsOverride::kNames) {
    DWORD value = 0, size = sizeof value, type = 0;
    const bool read = key != nullptr && RegQueryValueExA(key, name, nullptr, &type,
                                                         reinterpret_cast<BYTE*>(&value),
                                                         &size) == ERROR_SUCCESS;
    values.push_back(read ? std::optional(value) : std::nullopt);
  }
  if (key != nullptr) RegCloseKey(key);
  return values;
}

TEST_F(ClipParts, CodecSettingsAreSetForTheGraphOnlyWhenAllSevenAreThere) {
  const DWORD mine[] = {1, 1234, 64, 48, 0, 0, 0};
  for (size_t i = 0; i + 1 < std::size(mine); ++i) SetCodecValue(CodecSettingsOverride::kNames[i], mine[i]);
  const auto six = CodecValues();
  {
    CodecSettingsOverride override;
    EXPECT_EQ(CodecValues(), six) << "one value missing: nothing changes";
  }
  EXPECT_EQ(CodecValues(), six);

  SetCodecValue("Scalability", 0);
  const auto seven = CodecValues();
  {
    CodecSettingsOverride override;
    EXPECT_EQ(CodecValues(), (std::vector<std::optional<DWORD>>{0, 0, 0, 0, 1, 1, 1}));
  }
  EXPECT_EQ(CodecValues(), seven) << "put back as they were";
}

TEST_F(ClipParts, ClipsPastThe256thAreSkipped) {
  UseClips(2, 2);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  context->itemIndex = 255;  // 255 clips made already
  ASSERT_EQ(KXCAMAPI_GetAllImgs(context, nullptr), 0);
  EXPECT_EQ(recorder_.FileNames(), std::vector<std::string>{"Clip0.AVI"});
  EXPECT_EQ(context->itemIndex, 256u);
  recorder_.events.clear();
  ASSERT_EQ(KXCAMAPI_Download(context), 0);
  EXPECT_TRUE(recorder_.events.empty()) << "per item too";
}

TEST_F(ClipParts, APerItemClipWithoutTotalFailsWithoutAnAviFile) {
  UseClips(1, 2);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  // The application's begin callback runs after the information file was
  // written; take TOTAL out of it there.
  recorder_.pathFor = [&](size_t, const std::string& named) {
    WritePrivateProfileStringA("CLIP_INFO", "TOTAL", nullptr, context->clipInfoPaths[0].c_str());
    return named;
  };
  EXPECT_EQ(KXCAMAPI_Download(context), KXCAMAPI_ITEM_FAILED);
  EXPECT_FALSE(fs::exists(outFolder_ / "Clip0.AVI"));
}

// A per-item clip whose graph stalls, or stops on a write to a full disk,
// is a failed item and leaves no file of its own.
TEST_F(ClipParts, APerItemClipThatStallsOrCannotBeWrittenFailsWithoutAFile) {
  UseClips(1, 20);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  SetClipStallLimit(std::chrono::milliseconds(0));  // any wait for a frame is a stall
  const int stalled = KXCAMAPI_Download(context);
  SetClipStallLimit(std::chrono::seconds(15));
  EXPECT_EQ(stalled, KXCAMAPI_ITEM_FAILED);
  ASSERT_EQ(recorder_.Ends().size(), 1u);
  EXPECT_EQ(recorder_.Ends()[0].status, KXCAMAPI_ITEM_FAILED);
  EXPECT_FALSE(fs::exists(outFolder_ / "Clip0.AVI"));

  ksv::testing::SmallFileSystem small(64 * 1024);
  if (!small.ok()) GTEST_SKIP() << small.why();
  recorder_.events.clear();
  recorder_.pathFor = [&](size_t, const std::string&) {
    return (small.path() / "Clip0.AVI").string();
  };
  EXPECT_EQ(KXCAMAPI_Download(context), KXCAMAPI_ITEM_FAILED);
  ASSERT_EQ(recorder_.Ends().size(), 1u);
  EXPECT_EQ(recorder_.Ends()[0].status, KXCAMAPI_ITEM_FAILED);
  EXPECT_TRUE(fs::is_empty(small.path())) << "a partial AVI or a work file was left";
}

// The end callback of a clip asks for its first frame.
struct FirstFrames {
  Recorder* recorder = nullptr;
  KXCAMAPI_HANDLE context = nullptr;
  std::vector<std::pair<int32_t, int32_t>> sizes;  // 0 x 0: none
};

void FirstFrameEnd(intptr_t user, DWORD status, char* path, int32_t* cancel) {
  auto& frames = *reinterpret_cast<FirstFrames*>(user);
  RecordEnd(reinterpret_cast<intptr_t>(frames.recorder), status, path, cancel);
  HGLOBAL frame = KXCAMAPI_GetVideoFrame(frames.context);
  std::pair<int32_t, int32_t> size{0, 0};
  if (frame != nullptr) {
    const void* bits = GlobalLock(frame);
    size = {common::PackedBitmapWidth(bits), common::PackedBitmapHeight(bits)};
    GlobalUnlock(frame);
    GlobalFree(frame);
  }
  frames.sizes.push_back(size);
}

void FirstFrameBegin(intptr_t user, int kind, char* path, int32_t* cancel) {
  RecordBegin(reinterpret_cast<intptr_t>(reinterpret_cast<FirstFrames*>(user)->recorder), kind, path,
              cancel);
}

TEST_F(ClipParts, TheFirstFrameIsThereAtTheClipsEndButNotInKsvMode) {
  UseClips(1, 2);
  for (const bool ksv : {false, true}) {
    FirstFrames frames{&recorder_};
    const auto user = reinterpret_cast<intptr_t>(&frames);
    frames.context = ksv ? KXCAMAPI_InitKSV(FirstFrameBegin, FirstFrameEnd, user, module_, window_)
                         : KXCAMAPI_Init(FirstFrameBegin, FirstFrameEnd, user, module_, window_);
    ASSERT_NE(frames.context, nullptr);
    recorder_.folder = outFolder_ / (ksv ? "ksv" : "plain");
    fs::create_directories(recorder_.folder);
    std::fill(std::begin(recorder_.counters), std::end(recorder_.counters), 0u);
    EXPECT_EQ(KXCAMAPI_GetAllImgs(frames.context, nullptr), 0);
    EXPECT_TRUE(fs::file_size(recorder_.folder / "Clip0.AVI") > 0);
    using Size = std::pair<int32_t, int32_t>;
    const std::vector<Size> expected{ksv ? Size{0, 0} : Size{320, 240}};
    EXPECT_EQ(frames.sizes, expected) << "KSV " << ksv;
    // In KSV mode the stream writes no information file.
    EXPECT_EQ(InfoFiles().size(), ksv ? 0u : 1u);
    KXCAMAPI_Reset(frames.context);
  }
}

}  // namespace
}  // namespace ksv::camapi::testing
