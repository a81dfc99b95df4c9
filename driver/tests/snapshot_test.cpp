// Snapshots while streaming, on the simulated camera: the raw snapshot file
// and its picture, the order in which requests are served, and what the
// driver publishes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver/button_poll.h"
#include "driver/button_thread.h"
#include "driver/driver_values.h"
#include "driver/property_layout.h"
#include "driver/property_tables.h"
#include "driver/snapshot_file.h"
#include "driver/snapshot_take.h"
#include "driver/tests/camera_harness.h"
#include "platform/kernel/event.h"
#include "platform/kernel/files.h"
#include "platform/kernel/pool.h"
#include "platform/root/system_root.h"
#include "platform/usbcamd/property_request.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::driver {
namespace {

namespace fs = std::filesystem;
namespace kernel = platform::kernel;
using kernel::STATUS_SUCCESS;

constexpr size_t kFileSize = 231424;
constexpr size_t kPixelBytes = 320 * 240 * 3;

fs::path SnapshotFolder() { return platform::SystemRoot() / "TWAIN_32" / "Orvan" / "KSV1"; }

using ::ksv::testing::ReadFile;

// Streams the camera with the button thread's poll left to the test, and
// records every value the driver writes.
class Snapshot : public testing::CameraHarness {
 protected:
  Snapshot() {
    InstallButtonPoll(nullptr);
    InstallDriverValueWriter(&Record, &writes);
    fs::create_directories(SnapshotFolder());
  }
  ~Snapshot() override {
    // The harness stops the camera after `writes` is gone.
    InstallDriverValueWriter(nullptr, nullptr);
    InstallButtonPolling();
  }

  void StartStreaming(codec::FrameSize size, uint32_t compression = codec::kCompressionRgb) {
    ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
    ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
    ASSERT_EQ(Open(size, compression), STATUS_SUCCESS);
  }

  // Streams one frame at a time until "SnapShot" = 1 is written; returns the
  // frame delivered with it (empty when none came within `limit` frames).
  std::vector<uint8_t> StreamUntilSnapshot(size_t limit = 10) {
    for (size_t i = 0; i < limit; ++i) {
      const size_t before = writes.size();
      auto frames = Stream(1);
      if (frames.size() != 1) return {};
      for (size_t w = before; w < writes.size(); ++w) {
        if (writes[w] == std::pair<std::string, uint32_t>{"SnapShot", 1}) return frames[0];
      }
      previous = std::move(frames[0]);
    }
    return {};
  }

  size_t Count(const std::string& name, uint32_t value) const {
    size_t count = 0;
    for (const auto& write : writes) count += write == std::pair{name, value};
    return count;
  }

  platform::usbcamd::HW_STREAM_DESCRIPTOR streams;
  std::vector<std::pair<std::string, uint32_t>> writes;
  std::vector<uint8_t> previous;  // the frame before the snapshot's

 private:
  static void Record(void* user, std::string_view name, uint32_t value) {
    static_cast<std::vector<std::pair<std::string, uint32_t>>*>(user)->emplace_back(name, value);
  }
};

TEST_F(Snapshot, AButtonPressWritesTheFileOfTheFrameItArrivedWith) {
  StartStreaming({320, 240});
  auto first = Stream(3);
  ASSERT_FALSE(first.empty());
  previous = first.back();
  registers().PressButton();
  const std::vector<uint8_t> frame = StreamUntilSnapshot();
  ASSERT_EQ(frame.size(), kPixelBytes) << "a snapshot within 10 frames";

  const std::vector<uint8_t> file = ReadFile(SnapshotFolder() / "snapraw.dat");
  ASSERT_EQ(file.size(), kFileSize);
  for (size_t at : {size_t{0}, size_t{1}, size_t{63}, size_t{75}, size_t{1023}}) {
    EXPECT_EQ(file[at], 0) << at;
  }
  EXPECT_EQ(file[64], 1);
  EXPECT_EQ(support::LoadLe16(file, 65), 320);
  EXPECT_EQ(support::LoadLe16(file, 67), 240);
  EXPECT_EQ(support::LoadLe16(file, 69), 0x4D2A);
  EXPECT_EQ(support::LoadLe16(file, 71), 0x0900);
  EXPECT_EQ(file[73], 8);
  EXPECT_EQ(file[74], 16);
  // A 24-bit 320 x 240 stream delivers exactly the picture the snapshot
  // decodes: B, G, R, bottom-up. The scene moves, so the frame before differs.
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), file.begin() + 1024));
  ASSERT_EQ(previous.size(), kPixelBytes);
  EXPECT_FALSE(std::equal(previous.begin(), previous.end(), file.begin() + 1024));

  EXPECT_EQ(SharedLoad(extension().ButtonSnapshotRequest), 0u);
  EXPECT_EQ(SharedLoad(extension().SnapshotWritten), 1u);
  EXPECT_EQ(Count("SnapShoot", 0), 1u) << "only the stream start resets it";
  // Held down, the button is one press: no second snapshot.
  Stream(5);
  EXPECT_EQ(Count("SnapShot", 1), 1u);
  registers().ReleaseButton();
  Stream(3);
  registers().PressButton();
  EXPECT_FALSE(StreamUntilSnapshot().empty()) << "a second press takes a second snapshot";
  EXPECT_EQ(Count("SnapShot", 1), 2u);
}

TEST_F(Snapshot, TheSmallStreamsSnapshotIsItsPictureDoubled) {
  StartStreaming({160, 120});
  registers().PressButton();
  const std::vector<uint8_t> frame = StreamUntilSnapshot();
  ASSERT_EQ(frame.size(), 160u * 120 * 3);
  const std::vector<uint8_t> file = ReadFile(SnapshotFolder() / "snapraw.dat");
  ASSERT_EQ(file.size(), kFileSize);
  EXPECT_EQ(support::LoadLe16(file, 65), 320);
  size_t mismatches = 0;
  for (size_t y = 0; y < 240; ++y) {
    for (size_t x = 0; x < 320; ++x) {
      for (size_t c = 0; c < 3; ++c) {
        mismatches += file[1024 + (y * 320 + x) * 3 + c] != frame[((y / 2) * 160 + x / 2) * 3 + c];
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST_F(Snapshot, ARegistryRequestIsTakenWhileStreamingAndAnsweredInTheRegistry) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  // Asked for while no stream is open: ignored, and reset by the stream start.
  SetValue("SnapShoot", 1);
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 0u);
  ASSERT_EQ(Open({320, 240}, codec::kCompressionI420), STATUS_SUCCESS);
  EXPECT_EQ(Value("SnapShoot"), 0u);
  EXPECT_EQ(Value("SnapShot"), 0u);
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 0u);
  Stream(3);
  EXPECT_FALSE(fs::exists(SnapshotFolder() / "snapraw.dat"));

  SetValue("SnapShoot", 1);
  PollButton(extension());
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 1u);
  ASSERT_FALSE(StreamUntilSnapshot(1).empty()) << "the next frame serves it";
  EXPECT_EQ(fs::file_size(SnapshotFolder() / "snapraw.dat"), kFileSize);
  EXPECT_EQ(Value("SnapShoot"), 0u);
  EXPECT_EQ(Value("SnapShot"), 1u);
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 0u);
  EXPECT_EQ(SharedLoad(extension().SnapshotWritten), 1u);

  // The next stream start clears the answer, the flag and the values.
  ASSERT_EQ(camera().CloseStream(), STATUS_SUCCESS);
  ASSERT_EQ(Open({320, 240}, codec::kCompressionI420), STATUS_SUCCESS);
  EXPECT_EQ(Value("SnapShot"), 0u);
  EXPECT_EQ(SharedLoad(extension().SnapshotWritten), 0u);
}

TEST_F(Snapshot, AWaitingRequestIsServedFirstAndTheButtonOnTheNextFrame) {
  StartStreaming({320, 240}, codec::kCompressionI420);
  Stream(2);
  kernel::KeResetEvent(&extension().SnapshotWrittenEvent);
  SharedStore(extension().WaitingSnapshotRequest, uint32_t{1});
  SharedStore(extension().ButtonSnapshotRequest, uint32_t{1});
  ASSERT_EQ(Stream(1).size(), 1u);
  EXPECT_EQ(kernel::KeReadStateEvent(&extension().SnapshotWrittenEvent), 1);
  EXPECT_EQ(SharedLoad(extension().WaitingSnapshotRequest), 0u);
  EXPECT_EQ(SharedLoad(extension().ButtonSnapshotRequest), 1u);
  EXPECT_EQ(Count("SnapShot", 1), 0u) << "the waiting request is answered by the event";
  EXPECT_EQ(fs::file_size(SnapshotFolder() / "snapraw.dat"), kFileSize);

  ASSERT_EQ(Stream(1).size(), 1u);
  EXPECT_EQ(Count("SnapShot", 1), 1u);
  EXPECT_EQ(SharedLoad(extension().ButtonSnapshotRequest), 0u);
  EXPECT_EQ(SharedLoad(extension().SnapshotWritten), 1u);
}

// An application asks for a snapshot through the camera property set (id 14)
// and waits; the frame path, not a time-out, must end its wait.
TEST_F(Snapshot, AWaitingPropertyRequestIsWokenByTheNextFrame) {
  StartStreaming({320, 240}, codec::kCompressionI420);
  Stream(2);
  const int64_t start = clock().Counter();
  auto request = std::async(std::launch::async, [this] {
    std::vector<uint8_t> record(property_layout::camera_property_data::kSize, 0);
    return platform::usbcamd::SendDeviceProperty(camera(), streams.StreamHeader, false,
                                                 kCameraPropertySet, 14, record, record)
        .status;
  });
  while (SharedLoad(extension().WaitingSnapshotRequest) == 0) std::this_thread::yield();
  ASSERT_EQ(Stream(1).size(), 1u);
  EXPECT_EQ(request.get(), STATUS_SUCCESS);
  EXPECT_LT(clock().Counter() - start, 30'000'000)
      << "woken by the frame before its 3 s on the camera's clock were over";
  EXPECT_EQ(SharedLoad(extension().WaitingSnapshotRequest), 0u);
  EXPECT_EQ(fs::file_size(SnapshotFolder() / "snapraw.dat"), kFileSize);
  EXPECT_EQ(Count("SnapShot", 1), 0u) << "a property request is answered by the event alone";
}

TEST_F(Snapshot, AFrameThatDoesNotDecodeKeepsTheRequestsAndWritesNothing) {
  StartStreaming({320, 240}, codec::kCompressionI420);
  SharedStore(extension().RegistrySnapshotRequest, uint32_t{1});
  std::vector<uint8_t> garbage(2000, 0xA5);
  TakeSnapshot(extension(), garbage);
  TakeSnapshot(extension(), {});
  EXPECT_EQ(SharedLoad(extension().RegistrySnapshotRequest), 1u);
  EXPECT_FALSE(fs::exists(SnapshotFolder() / "snapraw.dat"));
  EXPECT_EQ(Count("SnapShot", 1), 0u);
  EXPECT_FALSE(StreamUntilSnapshot(1).empty()) << "the next good frame serves it";
}

TEST_F(Snapshot, FileErrorsAreReportedAndTheFileIsReplacedWhole) {
  StartStreaming({320, 240}, codec::kCompressionI420);
  CameraDeviceExtension& camera = extension();
  std::memset(camera.SnapshotBuffer, 0x5C, kSnapshotBufferSize);
  // An older, longer file is replaced, not overwritten in part.
  { std::ofstream(SnapshotFolder() / "SNAPRAW.DAT", std::ios::binary) << std::string(300'000, 'x'); }
  EXPECT_EQ(WriteRawSnapshot(camera, kSnapshotFileName), STATUS_SUCCESS);
  const std::vector<uint8_t> file = ReadFile(SnapshotFolder() / "SNAPRAW.DAT");
  ASSERT_EQ(file.size(), kFileSize) << "the name matches without regard to case";
  EXPECT_EQ(file.front(), 0x5C);
  EXPECT_EQ(file.back(), 0x5C);
  {
    kernel::ScopedPoolFailure noPath(0);
    EXPECT_EQ(WriteRawSnapshot(camera, kSnapshotFileName), kernel::STATUS_INSUFFICIENT_RESOURCES);
  }
  fs::remove_all(SnapshotFolder());
  EXPECT_EQ(WriteRawSnapshot(camera, kSnapshotFileName), kernel::STATUS_NO_SUCH_FILE);
  // Without the folder the snapshot is still announced: user mode waits for it.
  registers().PressButton();
  EXPECT_FALSE(StreamUntilSnapshot().empty());
  EXPECT_FALSE(fs::exists(SnapshotFolder()));
}

// A reader of the folder sees the old file or the new one, never part of
// one: the file is written under another name and renamed when whole.
TEST_F(Snapshot, AFailedWriteLeavesTheEarlierFileWholeAndNothingElse) {
  StartStreaming({320, 240}, codec::kCompressionI420);
  CameraDeviceExtension& camera = extension();
  std::memset(camera.SnapshotBuffer, 0x5C, kSnapshotBufferSize);
  const std::vector<uint8_t> earlier(kFileSize, 'x');
  {
    std::ofstream(SnapshotFolder() / "snapraw.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(earlier.data()), kFileSize);
  }
  {
    kernel::ScopedWriteFailure diskFull(100'000);
    EXPECT_EQ(WriteRawSnapshot(camera, kSnapshotFileName), kernel::STATUS_UNSUCCESSFUL);
  }
  EXPECT_TRUE(ReadFile(SnapshotFolder() / "snapraw.dat") == earlier) << "the earlier file, whole";
  const auto entries = [&] {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(SnapshotFolder())) {
      names.push_back(entry.path().filename());
    }
    return names;
  };
  EXPECT_EQ(entries(), std::vector<fs::path>{"snapraw.dat"}) << "the partial file is removed";

  EXPECT_EQ(WriteRawSnapshot(camera, kSnapshotFileName), STATUS_SUCCESS);
  EXPECT_TRUE(ReadFile(SnapshotFolder() / "snapraw.dat") == std::vector<uint8_t>(kFileSize, 0x5C));
  EXPECT_EQ(entries(), std::vector<fs::path>{"snapraw.dat"});
}

}  // namespace
}  // namespace ksv::driver
