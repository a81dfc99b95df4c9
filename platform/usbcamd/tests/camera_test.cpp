// The class driver's side of the isochronous path, driven with a scripted
// minidriver: packet byte 0 says what the packet routine answers.
#include "platform/usbcamd/camera.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/usbcamd/capture_replay.h"

namespace ksv::platform::usbcamd {
namespace {

using kernel::STATUS_SUCCESS;

// 'S' starts a frame (frame-complete, whole packet kept), 'D' is kept,
// 'X' is dropped, 'Z' is dropped with the descriptor status set to 9.
struct Script {
  uint32_t rawFrameLength = 64;
  std::vector<bool> contextGiven;  // per packet: did the routine get a frame context
  std::vector<int64_t> clockAtPacket;
  std::vector<uint32_t> packetsPerFrame;
  int newFrames = 0;
  uint32_t nextFrameNumber = 1;
  NTSTATUS allocation = STATUS_SUCCESS;
  int bandwidthFrees = 0;
};
Script script;

uint32_t ScriptedPacket(DEVICE_OBJECT*, void*, void* frameContext, USBD_ISO_PACKET_DESCRIPTOR*,
                        void*, USBD_ISO_PACKET_DESCRIPTOR* packet, void* buffer,
                        bool* frameComplete, bool* nextFrameIsStill) {
  *nextFrameIsStill = false;
  script.contextGiven.push_back(frameContext != nullptr);
  script.clockAtPacket.push_back(kernel::KeQueryPerformanceCounter(nullptr));
  const char kind = static_cast<const char*>(buffer)[0];
  if (kind == 'S') {
    *frameComplete = true;
    if (frameContext) std::memcpy(frameContext, &script.nextFrameNumber, 4);
    ++script.nextFrameNumber;
  }
  if (kind == 'Z') packet->Status = 9;
  return kind == 'S' || kind == 'D' ? packet->Length : 0;
}

// Echoes the raw frame, so the test sees exactly what was copied.
NTSTATUS EchoRawFrame(DEVICE_OBJECT*, void*, void*, void* output, uint32_t outputLength,
                      void* raw, uint32_t rawLength, uint32_t packets, uint32_t* returned) {
  script.packetsPerFrame.push_back(packets);
  const uint32_t count = std::min(outputLength, rawLength);
  std::memcpy(output, raw, count);
  *returned = count;
  return STATUS_SUCCESS;
}

NTSTATUS Succeed(DEVICE_OBJECT*, void*) { return STATUS_SUCCESS; }
NTSTATUS Configure(DEVICE_OBJECT*, void*, USBD_INTERFACE_INFORMATION*,
                   USB_CONFIGURATION_DESCRIPTOR*, int32_t* dataPipe, int32_t* syncPipe) {
  *dataPipe = 0;
  *syncPipe = -1;
  return STATUS_SUCCESS;
}
NTSTATUS Allocate(DEVICE_OBJECT*, void*, uint32_t* rawFrameLength, void*) {
  *rawFrameLength = script.rawFrameLength;
  return script.allocation;
}
NTSTATUS FreeBandwidth(DEVICE_OBJECT*, void*) {
  ++script.bandwidthFrees;
  return STATUS_SUCCESS;
}
void NewFrame(void*, void*) { ++script.newFrames; }

USBCAMD_DEVICE_DATA ScriptedTable() {
  return {0,    Succeed,   Succeed,   ScriptedPacket, NewFrame, EchoRawFrame, Succeed,
          Succeed, Configure, Succeed, Succeed,       Allocate, FreeBandwidth};
}

class ClassDriverPath : public ::testing::Test {
 protected:
  void SetUp() override {
    script = Script{};
    const USBCAMD_DEVICE_DATA table = ScriptedTable();
    ASSERT_EQ(USBCAMD_DriverEntry(classDriver_.DriverObject(), nullptr, 32, 4, &table),
              STATUS_SUCCESS);
  }

  void Open(uint32_t readBuffers) {
    camera_ = std::make_unique<UsbCamdCamera>(classDriver_, 4);
    ASSERT_EQ(camera_->Start(), STATUS_SUCCESS);
    KS_DATAFORMAT_VIDEOINFOHEADER format;
    format.DataFormat.FormatSize = sizeof format;
    format.VideoInfoHeader.bmiHeader.biSizeImage = 256;
    ASSERT_EQ(camera_->OpenStream(format, readBuffers), STATUS_SUCCESS);
  }

  // Sends 4-byte packets named by the characters of `kinds`, each carrying
  // its position in the text so the copies can be told apart.
  void Send(const std::string& kinds) {
    for (char kind : kinds) {
      std::vector<uint8_t> packet = {static_cast<uint8_t>(kind), 0, 0,
                                     static_cast<uint8_t>(sent_++)};
      camera_->ReceivePacket(USBD_STATUS_SUCCESS, packet);
    }
  }

  std::vector<uint8_t> TakeFrame() {
    EXPECT_TRUE(camera_->HasFrame());
    if (!camera_->HasFrame()) return {};
    const DeliveredFrame frame = camera_->FrontFrame();
    std::vector<uint8_t> bytes(frame.data.begin(), frame.data.end());
    camera_->ReleaseFrame();
    return bytes;
  }

  static std::vector<uint8_t> Packets(const std::string& kinds, uint8_t firstIndex) {
    std::vector<uint8_t> bytes;
    for (char kind : kinds) {
      bytes.insert(bytes.end(), {static_cast<uint8_t>(kind), 0, 0, firstIndex++});
    }
    return bytes;
  }

  static std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  ClassDriver classDriver_;
  std::unique_ptr<UsbCamdCamera> camera_;
  uint8_t sent_ = 0;
};

TEST(ClassDriverRegistration, RefusesAnIncompleteTableOrBadSizes) {
  ClassDriver classDriver;
  USBCAMD_DEVICE_DATA table = ScriptedTable();
  table.CamFreeBandwidth = nullptr;
  EXPECT_EQ(USBCAMD_DriverEntry(classDriver.DriverObject(), nullptr, 752, 4, &table),
            kernel::STATUS_INVALID_PARAMETER);
  table = ScriptedTable();
  table.Sig = 1;
  EXPECT_EQ(USBCAMD_DriverEntry(classDriver.DriverObject(), nullptr, 752, 4, &table),
            kernel::STATUS_INVALID_PARAMETER);
  table.Sig = 0;
  EXPECT_EQ(USBCAMD_DriverEntry(classDriver.DriverObject(), nullptr, 0, 4, &table),
            kernel::STATUS_INVALID_PARAMETER);
  EXPECT_FALSE(classDriver.IsRegistered());
  EXPECT_THROW(UsbCamdCamera(classDriver, 640), std::invalid_argument);

  EXPECT_EQ(USBCAMD_DriverEntry(classDriver.DriverObject(), nullptr, 752, 4, &table),
            STATUS_SUCCESS);
  EXPECT_EQ(classDriver.DeviceContextSize(), 752u);
  EXPECT_EQ(classDriver.FrameContextSize(), 4u);
}

TEST_F(ClassDriverPath, FrameCompleteClosesTheFrameBeforeThePacketThatStartsTheNext) {
  Open(4);
  Send("DDSDXDSD");  // a tail before the first start, then two frames begun
  ASSERT_EQ(camera_->Counters().framesCompleted, 2u);
  EXPECT_EQ(TakeFrame(), Packets("DD", 0));
  EXPECT_EQ(TakeFrame(), Cat(Packets("SD", 2), Packets("D", 5)));
  EXPECT_FALSE(camera_->HasFrame());
  EXPECT_EQ(script.packetsPerFrame, (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(script.newFrames, 3);  // the first frame and one after each close
  EXPECT_EQ(camera_->Counters().packets, 8u);
}

TEST_F(ClassDriverPath, DeliversTheFrameContextTheRoutineWrote) {
  Open(4);
  Send("DSDSD");
  ASSERT_TRUE(camera_->HasFrame());
  uint32_t number = 0;
  std::memcpy(&number, camera_->FrontFrame().frameContext.data(), 4);
  EXPECT_EQ(number, 1u);  // written by the start that closed it
  camera_->ReleaseFrame();
  std::memcpy(&number, camera_->FrontFrame().frameContext.data(), 4);
  EXPECT_EQ(number, 2u);
}

TEST_F(ClassDriverPath, AnEmptyFrameIsNotDeliveredAndItsBufferIsReused) {
  Open(1);
  Send("SDSD");  // the stream begins exactly at a frame start
  EXPECT_EQ(camera_->Counters().emptyFrames, 1u);
  EXPECT_EQ(camera_->Counters().framesCompleted, 1u);
  EXPECT_EQ(TakeFrame(), Packets("SD", 0));
}

TEST_F(ClassDriverPath, WithEveryReadBufferFullFramesAreLostUntilTheReaderCatchesUp) {
  Open(1);
  Send("SDSDD");  // fills the only buffer; the frame after it has nowhere to go
  EXPECT_EQ(camera_->Counters().framesWithoutReader, 1u);
  Send("SD");
  EXPECT_EQ(camera_->Counters().framesWithoutReader, 2u);
  EXPECT_FALSE(script.contextGiven[5]) << "no read buffer, no frame context";

  EXPECT_EQ(TakeFrame(), Packets("SD", 0));
  Send("DSDS");  // the frame opens at the next boundary, not mid-frame
  EXPECT_EQ(TakeFrame(), Packets("SD", 8));
}

// A reader's own buffer takes the next frame that completes while none
// waits, once, and only when it holds a read buffer's bytes; otherwise the
// frame goes to a read buffer as before.
TEST_F(ClassDriverPath, ALentBufferTakesTheNextFrameOnlyWhenNoneWaits) {
  Open(4);
  std::vector<uint8_t> lent(300, 0xEE);
  camera_->LendReadBuffer(lent);
  Send("SDS");
  ASSERT_TRUE(camera_->HasFrame());
  EXPECT_EQ(camera_->FrontFrame().data.data(), lent.data());
  EXPECT_TRUE(std::equal(lent.begin(), lent.begin() + 8, Packets("SD", 0).begin()));

  std::vector<uint8_t> second(256);
  camera_->LendReadBuffer(second);
  Send("DS");  // completes while the first frame still waits
  camera_->ReleaseFrame();
  EXPECT_NE(camera_->FrontFrame().data.data(), second.data());
  EXPECT_EQ(TakeFrame(), Packets("SD", 2));

  std::vector<uint8_t> small(255);
  camera_->LendReadBuffer(small);
  Send("DS");
  EXPECT_NE(camera_->FrontFrame().data.data(), small.data());
  EXPECT_EQ(TakeFrame(), Packets("SD", 4));
}

// A reader that leaves without the frame that went into its buffer (its read
// was cancelled) takes the buffer back: the frame waits whole in a read
// buffer for the next reader, whatever the first does with its buffer then.
TEST_F(ClassDriverPath, AFrameLeftInAReclaimedBufferWaitsWholeForTheNextReader) {
  Open(4);
  std::vector<uint8_t> lent(300);
  camera_->LendReadBuffer(lent);
  Send("SDSDS");  // the first frame goes into the lent buffer, the second not
  ASSERT_EQ(camera_->FrontFrame().data.data(), lent.data());
  camera_->ReclaimReadBuffer(lent);
  std::fill(lent.begin(), lent.end(), uint8_t{0xEE});
  EXPECT_EQ(TakeFrame(), Packets("SD", 0));
  EXPECT_EQ(TakeFrame(), Packets("SD", 2));

  camera_->LendReadBuffer(lent);
  camera_->ReclaimReadBuffer(lent);  // an unused loan ends with it
  Send("DS");
  EXPECT_NE(camera_->FrontFrame().data.data(), lent.data());
  EXPECT_EQ(TakeFrame(), Packets("SD", 4));
}

// A reopened stream takes up the buffers the last one left, empty, and sized
// for its own format.
TEST_F(ClassDriverPath, AReopenedStreamRenewsItsBuffersEmpty) {
  Open(2);
  Send("SDSDS");  // two frames wait when the stream closes
  const uint8_t* first = camera_->FrontFrame().data.data();
  ASSERT_EQ(camera_->CloseStream(), STATUS_SUCCESS);
  EXPECT_FALSE(camera_->HasFrame());

  KS_DATAFORMAT_VIDEOINFOHEADER format;
  format.DataFormat.FormatSize = sizeof format;
  format.VideoInfoHeader.bmiHeader.biSizeImage = 256;
  ASSERT_EQ(camera_->OpenStream(format, 2), STATUS_SUCCESS);
  EXPECT_FALSE(camera_->HasFrame()) << "no frame of the last stream is left";
  Send("SDS");
  ASSERT_TRUE(camera_->HasFrame());
  EXPECT_EQ(camera_->FrontFrame().data.data(), first);
  EXPECT_EQ(TakeFrame(), Packets("SD", 5));
  ASSERT_EQ(camera_->CloseStream(), STATUS_SUCCESS);

  format.VideoInfoHeader.bmiHeader.biSizeImage = 8;
  ASSERT_EQ(camera_->OpenStream(format, 2), STATUS_SUCCESS);
  Send("SDDS");  // three packets do not fit a read buffer of 8 bytes
  EXPECT_EQ(TakeFrame(), Packets("SD", 8)) << "the routine's frame, cut to the buffer";
}

TEST_F(ClassDriverPath, NeverCopiesPastTheRawFrameBuffer) {
  script.rawFrameLength = 10;  // two whole 4-byte packets
  Open(2);
  Send("SDDDS");
  EXPECT_EQ(camera_->Counters().packetsOverflowed, 2u);
  EXPECT_EQ(TakeFrame(), Packets("SD", 0));
  EXPECT_EQ(script.packetsPerFrame, (std::vector<uint32_t>{2}));
}

TEST_F(ClassDriverPath, TheRoutineMayRewriteTheDescriptorStatus) {
  Open(1);
  std::vector<uint8_t> zero = {'Z', 0, 0, 0};
  EXPECT_EQ(camera_->ReceivePacket(USBD_STATUS_SUCCESS, zero), 9);
  std::vector<uint8_t> data = {'D', 0, 0, 0};
  EXPECT_EQ(camera_->ReceivePacket(USBD_STATUS_ISO_NOT_ACCESSED_BY_HW, data),
            USBD_STATUS_ISO_NOT_ACCESSED_BY_HW);
}

TEST_F(ClassDriverPath, PacketsOutsideAnOpenStreamGoNowhere) {
  camera_ = std::make_unique<UsbCamdCamera>(classDriver_, 4);
  ASSERT_EQ(camera_->Start(), STATUS_SUCCESS);
  std::vector<uint8_t> packet = {'S', 0, 0, 0};
  camera_->ReceivePacket(USBD_STATUS_SUCCESS, packet);
  EXPECT_TRUE(script.contextGiven.empty());
  KS_DATAFORMAT_VIDEOINFOHEADER noSize;
  EXPECT_EQ(camera_->OpenStream(noSize), kernel::STATUS_INVALID_PARAMETER);
}

TEST_F(ClassDriverPath, ReplayedPacketsSeeTheirRecordedTime) {
  std::stringstream file;
  PacketCaptureWriter writer(file, 4);
  const uint8_t start[] = {'S', 0, 0, 0};
  const uint8_t data[] = {'D', 0, 0, 0};
  writer.Write(1'000'000, USBD_STATUS_SUCCESS, start);
  writer.Write(1'010'000, USBD_STATUS_SUCCESS, data);
  writer.Write(5'000'000, USBD_STATUS_SUCCESS, start);

  CaptureReplay replay(file);
  kernel::ScopedPerformanceCounter clock(replay.Clock());
  EXPECT_EQ(kernel::KeQueryPerformanceCounter(nullptr), 1'000'000) << "set before the stream opens";
  Open(2);
  while (replay.DeliverNext(*camera_)) {
  }
  EXPECT_EQ(replay.PacketsDelivered(), 3u);
  EXPECT_EQ(script.clockAtPacket, (std::vector<int64_t>{1'000'000, 1'010'000, 5'000'000}));
  EXPECT_EQ(TakeFrame(), Cat({'S', 0, 0, 0}, {'D', 0, 0, 0}));
}

// Power down stops the isochronous path and power up restarts the capture;
// after removal nothing more arrives, and the stream still closes.
TEST_F(ClassDriverPath, PowerAndRemovalStopAndRestartThePath) {
  Open(4);
  Send("SDD");
  ASSERT_EQ(camera_->ChangePowerState(PowerDeviceD3), STATUS_SUCCESS);
  EXPECT_FALSE(camera_->IsRunning());
  Send("DD");
  ASSERT_EQ(camera_->ChangePowerState(PowerDeviceD0), STATUS_SUCCESS);
  EXPECT_TRUE(camera_->IsRunning());
  Send("SDS");
  EXPECT_EQ(TakeFrame(), Packets("SD", 5));
  ASSERT_EQ(camera_->SurpriseRemoval(), STATUS_SUCCESS);
  EXPECT_TRUE(camera_->IsRemoved());
  const uint64_t before = camera_->Counters().packets;
  Send("DDS");
  EXPECT_EQ(camera_->Counters().packets, before);
  EXPECT_EQ(camera_->CloseStream(), STATUS_SUCCESS);
  EXPECT_EQ(camera_->Stop(), STATUS_SUCCESS);
}

// A minidriver may have selected an alternate setting before it refused
// the allocation, so the class driver gives the bandwidth back either way.
TEST_F(ClassDriverPath, AFailedAllocationIsFreedAndTheStreamStaysClosed) {
  camera_ = std::make_unique<UsbCamdCamera>(classDriver_, 4);
  ASSERT_EQ(camera_->Start(), STATUS_SUCCESS);
  KS_DATAFORMAT_VIDEOINFOHEADER format;
  format.DataFormat.FormatSize = sizeof format;
  format.VideoInfoHeader.bmiHeader.biSizeImage = 256;
  script.allocation = kernel::STATUS_NOT_SUPPORTED;
  EXPECT_EQ(camera_->OpenStream(format, 2), kernel::STATUS_NOT_SUPPORTED);
  EXPECT_EQ(script.bandwidthFrees, 1);
  EXPECT_FALSE(camera_->IsRunning());

  script.allocation = STATUS_SUCCESS;
  ASSERT_EQ(camera_->OpenStream(format, 2), STATUS_SUCCESS);
  ASSERT_EQ(camera_->CloseStream(), STATUS_SUCCESS);
  EXPECT_EQ(script.bandwidthFrees, 2) << "one free for each allocation";
}

TEST_F(ClassDriverPath, RequestsTheClassDriverDoesNotKnowAreNotImplemented) {
  Open(2);
  HW_STREAM_REQUEST_BLOCK unknown;
  unknown.Command = SRB_UNKNOWN_DEVICE_COMMAND;
  EXPECT_EQ(camera_->SendDeviceRequest(unknown), kernel::STATUS_NOT_IMPLEMENTED);
  EXPECT_TRUE(unknown.Completed);
  HW_STREAM_REQUEST_BLOCK again;
  again.Command = SRB_OPEN_STREAM;
  EXPECT_EQ(camera_->SendDeviceRequest(again), kernel::STATUS_UNSUCCESSFUL) << "one stream";
}

}  // namespace
}  // namespace ksv::platform::usbcamd
