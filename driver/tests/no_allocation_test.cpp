// The frame path allocates nothing: after the stream opens, packets and
// frames run on the buffers allocated at device start and stream open.
#include <gtest/gtest.h>

#include <vector>

#include "driver/tests/driver_fixture.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/work_item.h"
#include "rig/camera_rig.h"
#include "simcam/packetizer.h"
#include "simcam/simulated_camera.h"
#include "testing/allocation_counter.h"

namespace ksv::driver {
namespace {

TEST(NoAllocation, PacketsAndFramesOfEveryKindAllocateNothing) {
  testing::UseFreshSystemRoot();
  // The count is the whole process's: on a clock that stands still the
  // button thread sleeps through the test instead of polling (and
  // allocating) while the packets run.
  platform::kernel::SimulatedPerformanceCounter clock(10'000'000, 0, false);
  simcam::SimulatedCamera device;
  rig::CameraRig rig({.device = &device, .maximumPacketSize = 640, .clock = &clock});
  ASSERT_EQ(rig.Start(), platform::kernel::STATUS_SUCCESS);
  ASSERT_EQ(rig.Open({{320, 240}, codec::kCompressionRgb, 24, 0}), platform::kernel::STATUS_SUCCESS);
  // Packets go to the class driver directly, so the system worker runs only
  // when the test says.
  platform::usbcamd::UsbCamdCamera& camera = rig.Camera();

  // Clean frames, damaged ones, fillers, zero-length packets and a status
  // byte change (which queues the "Button" write). The change is the mode
  // bit: a button press would ask for a snapshot, whose file is the one
  // thing allowed to allocate.
  simcam::Packetizer packetizer(640, [](uint32_t frame, uint32_t packet, uint32_t) {
    return frame % 3 == 1 && packet == 2 ? simcam::PacketFault::kLost : simcam::PacketFault::kNone;
  });
  std::vector<simcam::IsoPacket> packets;
  for (uint32_t i = 0; i < 6; ++i) {
    packetizer.CutFrame(testing::PatternFrame({320, 240}, i), i == 4 ? 0x10 : 0, packets);
    packets.push_back(packetizer.Filler());
    packets.push_back(simcam::Packetizer::ZeroLength());
  }

  const long before = ksv::testing::AllocationCount();
  uint64_t delivered = 0;
  for (auto& packet : packets) {
    camera.ReceivePacket(packet.status, packet.bytes);
    while (camera.HasFrame()) {
      ++delivered;
      camera.ReleaseFrame();
    }
  }
  EXPECT_EQ(ksv::testing::AllocationCount() - before, 0);
  EXPECT_EQ(delivered, 5u);
  // The system worker then writes the "Button" value, at passive level.
  EXPECT_EQ(platform::kernel::RunQueuedWorkItems(), 1u);
}

}  // namespace
}  // namespace ksv::driver
