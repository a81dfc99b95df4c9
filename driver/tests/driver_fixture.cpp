#include "driver/tests/driver_fixture.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "driver/routines.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/usb_device.h"
#include "simcam/frame_encoder.h"
#include "simcam/packetizer.h"
#include "simcam/test_pattern.h"
#include "support/picture/colour.h"
#include "testing/temp_files.h"

namespace ksv::driver::testing {

using platform::kernel::STATUS_SUCCESS;

void UseFreshSystemRoot() {
  // Removed with the roots in it when the binary ends.
  static const ::ksv::testing::TempFolder roots;
  static int count = 0;
  const auto root = roots.path() / std::to_string(++count);
  std::filesystem::create_directories(root);
  ::setenv("KSV_ROOT", root.c_str(), 1);
}

DriverFixture::DriverFixture()
    : extension_(static_cast<CameraDeviceExtension*>(std::calloc(1, kDeviceContextSize))) {
  UseFreshSystemRoot();
  camera_.Behaviour().fixedPacketSize = packetSize;
  platform::usbcamd::AttachUsbDevice(context(), &camera_);
  platform::usbcamd::USBD_INTERFACE_INFORMATION interface;
  interface.Pipes[0].MaximumPacketSize = packetSize;
  int32_t dataPipe = -1;
  int32_t syncPipe = 0;
  EXPECT_EQ(CamConfigure(nullptr, context(), &interface, nullptr, &dataPipe, &syncPipe),
            STATUS_SUCCESS);
  EXPECT_EQ(CamInitialize(nullptr, context()), STATUS_SUCCESS);
}

DriverFixture::~DriverFixture() {
  platform::kernel::RunQueuedWorkItems();
  CamUnInitialize(nullptr, context());
  platform::usbcamd::AttachUsbDevice(context(), nullptr);
  std::free(extension_);
}

uint32_t DriverFixture::OpenStream(codec::FrameSize output, uint32_t compression,
                                   int64_t interval, uint16_t size) {
  packetSize = size;
  camera_.Behaviour().fixedPacketSize = size;
  const uint16_t bits = compression == codec::kCompressionRgb ? 24 : 12;
  auto format = platform::usbcamd::MakeVideoFormat(static_cast<int32_t>(output.width),
                                                   static_cast<int32_t>(output.height), bits,
                                                   compression, interval);
  uint32_t rawFrameLength = 0;
  EXPECT_EQ(CamAllocateBandwidth(nullptr, context(), &rawFrameLength, &format), STATUS_SUCCESS);
  EXPECT_EQ(CamStartCapture(nullptr, context()), STATUS_SUCCESS);
  return rawFrameLength;
}

uint32_t DriverFixture::Send(std::vector<uint8_t> packet, int32_t status, bool withContext) {
  platform::usbcamd::USBD_ISO_PACKET_DESCRIPTOR descriptor;
  descriptor.Length = static_cast<uint32_t>(packet.size());
  descriptor.Status = status;
  bool complete = false;
  bool still = true;
  const uint32_t taken =
      CamProcessUSBPacket(nullptr, context(), withContext ? &frameContext : nullptr, nullptr,
                          nullptr, &descriptor, packet.data(), &complete, &still);
  EXPECT_FALSE(still);
  lastComplete_ = complete;
  return taken;
}

std::vector<uint8_t> DriverFixture::FrameStart(uint8_t statusByte) const {
  std::vector<uint8_t> packet(packetSize, 0);
  packet[0] = 0xFF;
  packet[1] = 0x01;
  packet[8] = 3;
  packet[10] = statusByte;
  return packet;
}

std::vector<uint8_t> DriverFixture::Data(uint8_t sequence) const {
  std::vector<uint8_t> packet(packetSize, 0x11);
  packet[0] = sequence;
  return packet;
}

std::vector<uint8_t> RawFrame(const std::vector<uint8_t>& frame, uint16_t packetSize,
                              uint8_t statusByte) {
  simcam::Packetizer packetizer(packetSize);
  std::vector<simcam::IsoPacket> packets;
  packetizer.CutFrame(frame, statusByte, packets);
  std::vector<uint8_t> raw;
  for (const auto& packet : packets) raw.insert(raw.end(), packet.bytes.begin(), packet.bytes.end());
  return raw;
}

std::vector<uint8_t> PatternFrame(codec::FrameSize size, uint32_t index) {
  return simcam::EncodeFrame(
      picture::RgbToPlanar(simcam::TestPattern(size.width, size.height, index)), 3);
}

}  // namespace ksv::driver::testing
