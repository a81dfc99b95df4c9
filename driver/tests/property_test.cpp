// The driver's device property sets on the simulated camera, asked through
// the class driver as a user-mode component would: declared tables, the
// byte layouts of every answer, what each set sends the camera and writes to
// the registry, and what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_values.h"
#include "driver/property_layout.h"
#include "driver/property_tables.h"
#include "driver/routines.h"
#include "driver/tests/camera_harness.h"
#include "platform/kernel/event.h"
#include "platform/registry/machine_hive.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"
#include "platform/usbcamd/property_request.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

namespace usb = platform::usbcamd;
namespace kernel = platform::kernel;
namespace layout = property_layout;
using kernel::GUID;
using kernel::STATUS_BUFFER_OVERFLOW;
using kernel::STATUS_BUFFER_TOO_SMALL;
using kernel::STATUS_INVALID_PARAMETER;
using kernel::STATUS_NOT_SUPPORTED;
using kernel::STATUS_SUCCESS;

constexpr uint8_t kUntouched = 0xEE;

struct Write {
  std::string name;
  uint32_t value;
};

void RecordWrite(void* user, std::string_view name, uint32_t value) {
  static_cast<std::vector<Write>*>(user)->push_back({std::string(name), value});
}

class Properties : public testing::CameraHarness {
 protected:
  void SetUp() override {
    ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
    ASSERT_EQ(camera().GetStreamInfo(streams_), STATUS_SUCCESS);
    SetValue("BulkMode", 0);
  }
  void TearDown() override { InstallDriverValueWriter(nullptr, nullptr); }

  usb::PropertyAnswer Send(bool isSet, const GUID& set, uint32_t id, std::vector<uint8_t>& value,
                           const std::vector<uint8_t>* input = nullptr) {
    const std::vector<uint8_t>& request = input != nullptr ? *input : value;
    return usb::SendDeviceProperty(camera(), streams_.StreamHeader, isSet, set, id, request, value);
  }

  // A 40-byte control value with the untouched pattern around its fields.
  static std::vector<uint8_t> ControlValue(int32_t value, uint32_t flags) {
    std::vector<uint8_t> bytes(layout::control_value::kSize, kUntouched);
    support::StoreLe32(bytes, layout::control_value::kValue, static_cast<uint32_t>(value));
    support::StoreLe32(bytes, layout::control_value::kFlags, flags);
    return bytes;
  }
  NTSTATUS SetControl(const GUID& set, uint32_t id, int32_t value,
                      uint32_t flags = layout::kFlagsManual) {
    std::vector<uint8_t> bytes = ControlValue(value, flags);
    return Send(true, set, id, bytes).status;
  }
  struct ControlAnswer {
    int32_t value;
    uint32_t flags;
    uint32_t capabilities;
  };
  ControlAnswer GetControl(const GUID& set, uint32_t id) {
    std::vector<uint8_t> bytes(layout::control_value::kSize, kUntouched);
    const usb::PropertyAnswer answer = Send(false, set, id, bytes);
    EXPECT_EQ(answer.status, STATUS_SUCCESS);
    EXPECT_EQ(answer.bytesTransferred, 40u);
    // Only the three fields are written.
    EXPECT_TRUE(
        std::all_of(bytes.begin(), bytes.begin() + 24, [](uint8_t b) { return b == kUntouched; }));
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 36, bytes.end(), [](uint8_t b) { return b == kUntouched; }));
    return {support::LoadLeInt32(bytes, 24), support::LoadLe32(bytes, 28),
            support::LoadLe32(bytes, 32)};
  }
  std::vector<simcam::VendorCall> CallsAfter(size_t mark) {
    const auto calls = registers().Calls();
    return {calls.begin() + static_cast<std::ptrdiff_t>(mark), calls.end()};
  }
  void WatchWrites() {
    writes_.clear();
    InstallDriverValueWriter(RecordWrite, &writes_);
  }

  usb::HW_STREAM_DESCRIPTOR streams_;
  std::vector<Write> writes_;
};

const GUID& kAmp = usb::PROPSETID_VIDCAP_VIDEOPROCAMP;
const GUID& kCameraControl = usb::PROPSETID_VIDCAP_CAMERACONTROL;
const GUID& kVideoControl = usb::PROPSETID_VIDCAP_VIDEOCONTROL;

bool IsRegisterWrite(const simcam::VendorCall& call, uint16_t address, uint16_t value) {
  return !call.in && call.request == 0 && call.index == address && call.value == value;
}

TEST_F(Properties, TablesDeclareEveryControlsRangeAndDefault) {
  struct Expected {
    const GUID* set;
    uint32_t id;
    int32_t minimum, maximum, fallback;
  };
  const Expected controls[] = {{&kAmp, 0, 0, 255, 128}, {&kAmp, 1, 0, 31, 0},
                               {&kAmp, 2, 0, 719, 0},   {&kAmp, 3, 0, 63, 32},
                               {&kAmp, 4, 0, 255, 120}, {&kAmp, 5, 0, 9, 0},
                               {&kAmp, 7, 0, 20, 10},   {&kCameraControl, 4, 0, 1, 0}};
  for (const Expected& c : controls) {
    SCOPED_TRACE(c.id);
    const usb::KSPROPERTY_ITEM* item = usb::FindPropertyItem(streams_.StreamHeader, *c.set, c.id);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->GetSupported && item->SetSupported);
    EXPECT_EQ(item->MinProperty, 40u);
    EXPECT_EQ(item->MinData, 40u);
    ASSERT_NE(item->Values, nullptr);
    ASSERT_EQ(item->Values->MembersListCount, 2u);
    const usb::KSPROPERTY_MEMBERSLIST& range = item->Values->MembersList[0];
    EXPECT_EQ(range.MembersHeader.MembersFlags, usb::KSPROPERTY_MEMBER_STEPPEDRANGES);
    const auto* stepping = static_cast<const usb::KSPROPERTY_STEPPING_LONG*>(range.Members);
    EXPECT_EQ(stepping->SteppingDelta, 1u);
    EXPECT_EQ(stepping->SignedMinimum, c.minimum);
    EXPECT_EQ(stepping->SignedMaximum, c.maximum);
    const usb::KSPROPERTY_MEMBERSLIST& fallback = item->Values->MembersList[1];
    EXPECT_EQ(fallback.MembersHeader.MembersFlags, usb::KSPROPERTY_MEMBER_VALUES);
    EXPECT_EQ(fallback.MembersHeader.Flags, usb::KSPROPERTY_MEMBER_FLAG_DEFAULT);
    EXPECT_EQ(*static_cast<const int32_t*>(fallback.Members), c.fallback);
  }
  // Video control: caps, actual rate and mode with their sizes; the rate
  // list sizes itself.
  const struct {
    uint32_t id, minData;
    bool set;
  } videoControl[] = {{0, 32, false}, {1, 56, false}, {2, 0, false}, {3, 32, true}};
  for (const auto& v : videoControl) {
    const usb::KSPROPERTY_ITEM* item =
        usb::FindPropertyItem(streams_.StreamHeader, kVideoControl, v.id);
    ASSERT_NE(item, nullptr) << v.id;
    EXPECT_TRUE(item->GetSupported);
    EXPECT_EQ(item->SetSupported, v.set) << v.id;
    EXPECT_EQ(item->MinData, v.minData) << v.id;
  }
  for (uint32_t id : {5u, 7u, 8u, 9u, 11u, 12u, 10004u, 10005u, 14u}) {
    const usb::KSPROPERTY_ITEM* item =
        usb::FindPropertyItem(streams_.StreamHeader, kCameraPropertySet, id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_TRUE(item->GetSupported && item->SetSupported);
    EXPECT_EQ(item->MinProperty, 1136u);
    EXPECT_EQ(item->MinData, 1136u);
  }
  EXPECT_EQ(usb::FindPropertyItem(streams_.StreamHeader, kAmp, 8), nullptr) << "backlight";
  EXPECT_EQ(usb::FindPropertyItem(streams_.StreamHeader, kCameraControl, 0), nullptr) << "pan";
  EXPECT_EQ(usb::FindPropertyItem(streams_.StreamHeader, kCameraPropertySet, 6), nullptr);
}

TEST_F(Properties, GetsAnswerTheSettingsInTheFortyByteValue) {
  EXPECT_EQ(GetControl(kAmp, 0).value, 128);
  EXPECT_EQ(GetControl(kAmp, 3).value, 32);
  EXPECT_EQ(GetControl(kAmp, 4).value, 120);
  const ControlAnswer brightness = GetControl(kAmp, 0);
  EXPECT_EQ(brightness.flags, layout::kFlagsManual);
  EXPECT_EQ(brightness.capabilities, layout::kFlagsManual);
  const ControlAnswer whiteBalance = GetControl(kAmp, 7);
  EXPECT_EQ(whiteBalance.value, 10);
  EXPECT_EQ(whiteBalance.flags, layout::kFlagsAuto);
  EXPECT_EQ(whiteBalance.capabilities, layout::kFlagsAuto | layout::kFlagsManual);
  const ControlAnswer exposure = GetControl(kCameraControl, 4);
  EXPECT_EQ(exposure.value, 0);
  EXPECT_EQ(exposure.flags, layout::kFlagsAuto);
  EXPECT_EQ(exposure.capabilities, 3u);
}

TEST_F(Properties, EachPictureSetReachesItsRegisterAndTheRegistry) {
  const struct {
    uint32_t id;
    int32_t value;
    uint16_t address;
    uint16_t written;
    const char* name;
  } sets[] = {{0, 140, 0x8167, 12, "Brightness"},
              {0, 0, 0x8167, 0xFF80, "Brightness"},
              {1, 5, 0x8168, 37, "Contrast"},
              {3, 40, 0x8169, 40, "Saturation"},
              {4, 200, 0x8157, 200, "Sharpness"}};
  for (const auto& s : sets) {
    SCOPED_TRACE(s.name);
    const size_t mark = registers().Calls().size();
    WatchWrites();
    ASSERT_EQ(SetControl(kAmp, s.id, s.value), STATUS_SUCCESS);
    const auto calls = CallsAfter(mark);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(IsRegisterWrite(calls[0], s.address, s.written))
        << calls[0].index << " " << calls[0].value;
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].name, s.name);
    EXPECT_EQ(writes_[0].value, static_cast<uint32_t>(s.value));
    EXPECT_EQ(GetControl(kAmp, s.id).value, s.value);
  }
  EXPECT_EQ(extension().ContrastSetting, 5) << "pass-through frames report it";
}

TEST_F(Properties, HueWritesTheHighBitsFirst) {
  const size_t mark = registers().Calls().size();
  ASSERT_EQ(SetControl(kAmp, 2, 700), STATUS_SUCCESS);
  const auto calls = CallsAfter(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(IsRegisterWrite(calls[0], 0x816B, 0x0B));
  EXPECT_TRUE(IsRegisterWrite(calls[1], 0x816A, 0xBC));
  EXPECT_EQ(Value("Hue"), 700u);
}

TEST_F(Properties, GammaGoesToTheDecoderNotTheCamera) {
  const size_t mark = registers().Calls().size();
  ASSERT_EQ(SetControl(kAmp, 5, 7), STATUS_SUCCESS);
  EXPECT_TRUE(CallsAfter(mark).empty());
  EXPECT_EQ(extension().DecoderContext.gammaLevel, 7u);
  EXPECT_EQ(Value("Gamma"), 7u);
}

TEST_F(Properties, ManualWhiteBalanceSendsTheModeThenBothGains) {
  const struct {
    int32_t value;
    uint16_t a, b;
  } cases[] = {{0, 152, 206}, {20, 216, 142}, {10, 152, 142}, {9, 152, 148}, {11, 158, 142}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const size_t mark = registers().Calls().size();
    WatchWrites();
    ASSERT_EQ(SetControl(kAmp, 7, c.value, layout::kFlagsManual), STATUS_SUCCESS);
    const auto calls = CallsAfter(mark);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].request, 0x0C);
    EXPECT_EQ(calls[0].value, 3) << "automatic exposure stays on";
    EXPECT_TRUE(IsRegisterWrite(calls[1], 0x8151, c.a));
    EXPECT_TRUE(IsRegisterWrite(calls[2], 0x8153, c.b));
    ASSERT_EQ(writes_.size(), 2u);
    EXPECT_EQ(writes_[0].name, "White Balance");
    EXPECT_EQ(writes_[0].value, static_cast<uint32_t>(c.value));
    EXPECT_EQ(writes_[1].name, "Auto White Balance Enable");
    EXPECT_EQ(writes_[1].value, 0u);
  }
  EXPECT_EQ(GetControl(kAmp, 7).flags, layout::kFlagsManual);

  // Back to automatic: mode only, no gains.
  const size_t mark = registers().Calls().size();
  ASSERT_EQ(SetControl(kAmp, 7, 10, layout::kFlagsAuto), STATUS_SUCCESS);
  const auto calls = CallsAfter(mark);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].request, 0x0C);
  EXPECT_EQ(calls[0].value, 4);
  EXPECT_EQ(Value("Auto White Balance Enable"), 1u);
}

TEST_F(Properties, ExposureModeKeepsTheWhiteBalanceMode) {
  ASSERT_EQ(SetControl(kCameraControl, 4, 1, layout::kFlagsManual), STATUS_SUCCESS);
  EXPECT_EQ(registers().Mode(), 1) << "manual exposure, automatic white balance";
  EXPECT_EQ(Value("Auto Exposure Enable"), 0u);
  const ControlAnswer manual = GetControl(kCameraControl, 4);
  EXPECT_EQ(manual.value, 1);
  EXPECT_EQ(manual.flags, layout::kFlagsManual);
  ASSERT_EQ(SetControl(kAmp, 7, 3, layout::kFlagsManual), STATUS_SUCCESS);
  EXPECT_EQ(registers().Mode(), 0) << "both manual";
  ASSERT_EQ(SetControl(kCameraControl, 4, 0, layout::kFlagsAuto), STATUS_SUCCESS);
  EXPECT_EQ(registers().Mode(), 3) << "automatic exposure only";
  EXPECT_EQ(Value("Auto Exposure Enable"), 1u);
}

TEST_F(Properties, OutOfRangeSetsChangeNothing) {
  const struct {
    const GUID* set;
    uint32_t id;
    int32_t value;
  } refused[] = {{&kAmp, 0, 256},       {&kAmp, 0, -1},         {&kAmp, 1, 32}, {&kAmp, 2, 720},
                 {&kAmp, 3, 64},        {&kAmp, 4, 256},        {&kAmp, 5, 10}, {&kAmp, 7, 21},
                 {&kAmp, 7, INT32_MIN}, {&kCameraControl, 4, 2}};
  const CameraSettings before = extension().Settings;
  const size_t mark = registers().Calls().size();
  WatchWrites();
  for (const auto& r : refused) {
    EXPECT_EQ(SetControl(*r.set, r.id, r.value), STATUS_NOT_SUPPORTED) << r.id << " " << r.value;
  }
  EXPECT_TRUE(CallsAfter(mark).empty());
  EXPECT_TRUE(writes_.empty());
  EXPECT_EQ(std::memcmp(&before, &extension().Settings, sizeof before), 0);
}

TEST_F(Properties, UndeclaredAndShortRequestsNeverReachTheCamera) {
  const size_t mark = registers().Calls().size();
  std::vector<uint8_t> bytes = ControlValue(1, layout::kFlagsManual);
  EXPECT_EQ(Send(true, kAmp, 8, bytes).status, usb::STATUS_NOT_FOUND) << "backlight";
  const GUID unknown = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(Send(false, unknown, 0, bytes).status, usb::STATUS_NOT_FOUND);
  std::vector<uint8_t> shortValue(39, kUntouched);
  EXPECT_EQ(Send(false, kAmp, 0, shortValue).status, STATUS_INVALID_PARAMETER) << "request";
  EXPECT_EQ(Send(false, kAmp, 0, shortValue, &bytes).status, STATUS_BUFFER_TOO_SMALL) << "value";

  // Straight to the driver, past the class driver's checks: the driver
  // refuses on its own and writes nothing past the buffer.
  auto direct = [&](uint32_t command, const GUID& set, uint32_t id, std::vector<uint8_t>& value,
                    uint32_t size) {
    usb::HW_STREAM_REQUEST_BLOCK srb;
    srb.Command = static_cast<usb::SRB_COMMAND>(command);
    srb.CommandData.PropertySet = &set;
    srb.CommandData.PropertyId = id;
    srb.CommandData.PropertyValue = value.data();
    srb.CommandData.PropertyValueSize = size;
    const NTSTATUS status = camera().SendDeviceRequest(srb);
    EXPECT_TRUE(srb.Completed);
    return status;
  };
  std::vector<uint8_t> guarded(1200, kUntouched);
  EXPECT_EQ(direct(usb::SRB_GET_DEVICE_PROPERTY, kAmp, 0, guarded, 39), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(direct(usb::SRB_SET_DEVICE_PROPERTY, kAmp, 8, guarded, 40), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(direct(usb::SRB_GET_DEVICE_PROPERTY, kCameraPropertySet, 5, guarded, 1135),
            STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(direct(usb::SRB_GET_DEVICE_PROPERTY, unknown, 0, guarded, 40), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(direct(usb::SRB_GET_DEVICE_PROPERTY, kVideoControl, 1, guarded, 55),
            STATUS_NOT_SUPPORTED);
  EXPECT_TRUE(
      std::all_of(guarded.begin(), guarded.end(), [](uint8_t b) { return b == kUntouched; }));
  EXPECT_TRUE(CallsAfter(mark).empty());
}

// Video control requests carry a stream index (and for the rate list the
// frame size) in the request structure.
std::vector<uint8_t> VideoRequest(uint32_t streamIndex, uint32_t size, int32_t width = 0,
                                  int32_t height = 0) {
  std::vector<uint8_t> bytes(size, 0);
  support::StoreLe32(bytes, layout::video_control::kStreamIndex, streamIndex);
  if (size >= layout::frame_rate::kRequestSize) {
    support::StoreLe32(bytes, layout::frame_rate::kWidth, static_cast<uint32_t>(width));
    support::StoreLe32(bytes, layout::frame_rate::kHeight, static_cast<uint32_t>(height));
  }
  return bytes;
}

TEST_F(Properties, VideoControlAnswersOnlyTheStillPinsCapsAndMode) {
  std::vector<uint8_t> still = VideoRequest(1, 32);
  const usb::PropertyAnswer caps = Send(false, kVideoControl, 0, still);
  EXPECT_EQ(caps.status, STATUS_SUCCESS);
  EXPECT_EQ(caps.bytesTransferred, 32u);
  EXPECT_EQ(support::LoadLe32(still, 28), 12u);
  std::vector<uint8_t> video = VideoRequest(0, 32);
  EXPECT_EQ(Send(false, kVideoControl, 0, video).status, STATUS_NOT_SUPPORTED);

  std::vector<uint8_t> mode = VideoRequest(0, 32);
  EXPECT_EQ(Send(false, kVideoControl, 3, mode).status, STATUS_SUCCESS);
  EXPECT_EQ(support::LoadLe32(mode, 28), 12u);
  for (uint32_t bits : {4u, 8u, 12u, 0xFFu}) {
    std::vector<uint8_t> set = VideoRequest(1, 32);
    support::StoreLe32(set, 28, bits);
    EXPECT_EQ(Send(true, kVideoControl, 3, set).status, STATUS_SUCCESS) << bits;
  }
  for (uint32_t bits : {0u, 1u, 2u, 0x10u}) {
    std::vector<uint8_t> set = VideoRequest(1, 32);
    support::StoreLe32(set, 28, bits);
    EXPECT_EQ(Send(true, kVideoControl, 3, set).status, STATUS_NOT_SUPPORTED) << bits;
  }
  std::vector<uint8_t> wrongPin = VideoRequest(0, 32);
  support::StoreLe32(wrongPin, 28, 4);
  EXPECT_EQ(Send(true, kVideoControl, 3, wrongPin).status, STATUS_NOT_SUPPORTED);
}

TEST_F(Properties, FrameRatesAreTheRateTableScaledByWidth) {
  const int64_t table[7] = {1666666, 1000000, 833333, 666666, 555555, 500000, 400000};
  const struct {
    int32_t width;
    int64_t numerator, denominator;
  } cases[] = {{160, 3, 4}, {320, 3, 1}, {640, 1, 1}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> input = VideoRequest(0, 40, c.width, c.width * 3 / 4);
    std::vector<uint8_t> list(64, kUntouched);
    const usb::PropertyAnswer answer = Send(false, kVideoControl, 2, list, &input);
    ASSERT_EQ(answer.status, STATUS_SUCCESS);
    EXPECT_EQ(answer.bytesTransferred, 64u);
    EXPECT_EQ(support::LoadLe32(list, 0), 56u);
    EXPECT_EQ(support::LoadLe32(list, 4), 7u);
    for (int i = 0; i < 7; ++i) {
      const uint64_t interval = support::LoadLe64(list, 8 + 8 * i);
      EXPECT_EQ(interval, static_cast<uint64_t>(table[i] * c.numerator / c.denominator))
          << c.width << " entry " << i;
    }
  }
  const std::vector<uint8_t> input = VideoRequest(1, 40, 320, 240);
  std::vector<uint8_t> empty;
  const usb::PropertyAnswer size = Send(false, kVideoControl, 2, empty, &input);
  EXPECT_EQ(size.status, STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(size.bytesTransferred, 64u);
  std::vector<uint8_t> small(63, kUntouched);
  EXPECT_EQ(Send(false, kVideoControl, 2, small, &input).status, STATUS_BUFFER_TOO_SMALL);
  EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == kUntouched; }));
}

TEST_F(Properties, ActualFrameRateNeedsTheOpenVideoStream) {
  std::vector<uint8_t> rate = VideoRequest(0, 56);
  EXPECT_EQ(Send(false, kVideoControl, 1, rate).status, STATUS_NOT_SUPPORTED) << "no stream";
  ASSERT_EQ(Open({320, 240}), STATUS_SUCCESS);
  std::fill(rate.begin() + 40, rate.end(), kUntouched);
  const usb::PropertyAnswer answer = Send(false, kVideoControl, 1, rate);
  ASSERT_EQ(answer.status, STATUS_SUCCESS);
  EXPECT_EQ(answer.bytesTransferred, 56u);
  EXPECT_EQ(support::LoadLe32(rate, 40), 0u);
  EXPECT_EQ(support::LoadLe32(rate, 44), 0u);
  EXPECT_EQ(support::LoadLe32(rate, 48), 1'200'000u);
  EXPECT_EQ(support::LoadLe32(rate, 52), 0u);
  std::vector<uint8_t> still = VideoRequest(1, 56);
  EXPECT_EQ(Send(false, kVideoControl, 1, still).status, STATUS_NOT_SUPPORTED);
  std::vector<uint8_t> empty;
  const std::vector<uint8_t> input = VideoRequest(0, 56);
  const usb::PropertyAnswer size = Send(false, kVideoControl, 1, empty, &input);
  EXPECT_EQ(size.status, STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(size.bytesTransferred, 56u);
}

std::vector<uint8_t> Record(uint16_t request = 0, uint16_t value = 0, uint16_t index = 0,
                            uint16_t length = 0) {
  std::vector<uint8_t> bytes(layout::camera_property_data::kSize, kUntouched);
  support::StoreLe16(bytes, 104, request);
  support::StoreLe16(bytes, 106, value);
  support::StoreLe16(bytes, 108, index);
  support::StoreLe16(bytes, 110, length);
  return bytes;
}

TEST_F(Properties, CameraRecordAnswersTheModeIndicator) {
  for (uint32_t indicator : {0u, 1u}) {
    extension().ModeIndicator = indicator;
    std::vector<uint8_t> record = Record();
    const usb::PropertyAnswer answer = Send(false, kCameraPropertySet, 5, record);
    ASSERT_EQ(answer.status, STATUS_SUCCESS);
    EXPECT_EQ(answer.bytesTransferred, 1136u);
    EXPECT_EQ(support::LoadLe32(record, 28), indicator);
  }
  for (uint32_t id : {7u, 8u, 9u, 11u, 12u}) {
    std::vector<uint8_t> record = Record();
    EXPECT_EQ(Send(false, kCameraPropertySet, id, record).status, STATUS_NOT_SUPPORTED) << id;
    EXPECT_EQ(Send(true, kCameraPropertySet, id, record).status, STATUS_NOT_SUPPORTED) << id;
  }
  std::vector<uint8_t> record = Record();
  EXPECT_EQ(Send(true, kCameraPropertySet, 5, record).status, STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Send(false, kCameraPropertySet, 10004, record).status, STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Send(false, kCameraPropertySet, 10005, record).status, STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Send(true, kCameraPropertySet, 14, record).status, STATUS_NOT_SUPPORTED);
}

TEST_F(Properties, VendorPassThroughReadsIntoFourBytesAndWrites) {
  std::vector<uint8_t> write = Record(0x00, 0x5A, 0x8157);
  const size_t mark = registers().Calls().size();
  ASSERT_EQ(Send(true, kCameraPropertySet, 10005, write).status, STATUS_SUCCESS);
  auto calls = CallsAfter(mark);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(IsRegisterWrite(calls[0], 0x8157, 0x5A));

  std::vector<uint8_t> read = Record(0x00, 0, 0x8157, 2);  // 0x8157 and 0x8158
  ASSERT_EQ(Send(true, kCameraPropertySet, 10004, read).status, STATUS_SUCCESS);
  EXPECT_EQ(Value("VCR"), 0x5Au);
  calls = CallsAfter(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[1].in);
  EXPECT_EQ(calls[1].index, 0x8157);

  // A read longer than the 4-byte answer buffer is refused before the camera sees it.
  std::vector<uint8_t> tooLong = Record(0x00, 0, 0x8157, 5);
  EXPECT_EQ(Send(true, kCameraPropertySet, 10004, tooLong).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(registers().Calls().size(), mark + 2);
  EXPECT_EQ(Value("VCR"), 0x5Au);

  // A request the camera stalls is not reported; the buffer stays zero.
  std::vector<uint8_t> stalled = Record(0x77, 0, 0, 4);
  EXPECT_EQ(Send(true, kCameraPropertySet, 10004, stalled).status, STATUS_SUCCESS);
  EXPECT_EQ(Value("VCR"), 0u);
  EXPECT_NE(extension().LastError, 0);
}

// The wait is 3 s of the installed clock: the harness's simulated one here,
// which nothing moves unless the test does.
TEST_F(Properties, SnapshotWaitEndsWhenTheSnapshotIsWritten) {
  const int64_t start = clock().Counter();
  std::thread frames([&] {
    // Plays the frame path: sees the waiting request, writes, signals.
    while (SharedLoad(extension().WaitingSnapshotRequest) == 0) std::this_thread::yield();
    SharedStore(extension().WaitingSnapshotRequest, uint32_t{0});
    kernel::KeSetEvent(&extension().SnapshotWrittenEvent);
  });
  std::vector<uint8_t> record = Record();
  const usb::PropertyAnswer answer = Send(false, kCameraPropertySet, 14, record);
  frames.join();
  EXPECT_EQ(answer.status, STATUS_SUCCESS);
  EXPECT_EQ(answer.bytesTransferred, 1136u);
  EXPECT_EQ(support::LoadLe32(record, 28), 1u);
  EXPECT_EQ(clock().Counter(), start) << "woken by the event: no time had to pass";
}

TEST_F(Properties, SnapshotWaitGivesUpAfterThreeSecondsAndWithdrawsTheRequest) {
  kernel::KeSetEvent(&extension().SnapshotWrittenEvent);  // an earlier snapshot's signal
  std::vector<uint8_t> record = Record();
  std::atomic<bool> answered = false;
  std::atomic<int64_t> startedAt = -1;
  std::thread time([&] {
    // Lets the camera's time pass, 100 ms at a time, once the request waits.
    while (SharedLoad(extension().WaitingSnapshotRequest) == 0) std::this_thread::yield();
    startedAt = clock().Counter();
    while (!answered) {
      clock().Advance(1'000'000);
      std::this_thread::yield();
    }
  });
  const usb::PropertyAnswer answer = Send(false, kCameraPropertySet, 14, record);
  const int64_t endedAt = clock().Counter();
  answered = true;
  time.join();
  EXPECT_EQ(answer.status, STATUS_SUCCESS);
  EXPECT_EQ(support::LoadLe32(record, 28), 1u);
  EXPECT_GE(endedAt - startedAt, 30'000'000) << "the whole 3 s";
  EXPECT_EQ(extension().WaitingSnapshotRequest, 0u);
}

class SettingsStore : public testing::CameraHarness {};

TEST_F(SettingsStore, SettingsSurviveUnplugAndComeBackAtStreamStart) {
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  usb::HW_STREAM_DESCRIPTOR streams;
  ASSERT_EQ(camera().GetStreamInfo(streams), STATUS_SUCCESS);
  std::vector<uint8_t> brightness(40, 0);
  support::StoreLe32(brightness, 24, 200);
  ASSERT_EQ(
      usb::SendDeviceProperty(camera(), streams.StreamHeader, true, kAmp, 0, brightness, brightness)
          .status,
      STATUS_SUCCESS);
  std::vector<uint8_t> whiteBalance(40, 0);
  support::StoreLe32(whiteBalance, 24, 0);
  support::StoreLe32(whiteBalance, 28, layout::kFlagsManual);
  ASSERT_EQ(usb::SendDeviceProperty(camera(), streams.StreamHeader, true, kAmp, 7, whiteBalance,
                                    whiteBalance)
                .status,
            STATUS_SUCCESS);

  Plug();  // a new camera: nothing carried over but the registry
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(extension().Settings.Brightness, 200);
  SetValue("BulkMode", 0);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(registers().Register(0x8167), 72);
  EXPECT_EQ(registers().Register(0x8153), 206);
  EXPECT_EQ(registers().Mode(), 3);
}

TEST_F(SettingsStore, GarbageInTheRegistryNeverBreaksStart) {
  SetValue("Brightness", 0xFFFFFFFF);  // -1: absent
  SetValue("Contrast", 0x80000000);    // negative: kept as it is
  SetValue("Saturation", 1'000'000);   // above range
  SetValue("Gamma", 0xFFFFFFFE);       // negative: kept, decoder takes 0
  platform::SharedMachineHive()->SetString("Software\\Tarvio\\KSV Drivers", "Hue", "warm");
  SetValue("Fw_AeawbSwitch", 2);  // one of eight: the group is not valid
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  const CameraSettings& s = extension().Settings;
  EXPECT_EQ(s.Brightness, 128);
  EXPECT_EQ(s.Contrast, INT32_MIN);
  EXPECT_EQ(s.Saturation, 32);
  EXPECT_EQ(s.Hue, 0) << "a string is no DWORD";
  EXPECT_EQ(s.Gamma, -2);
  EXPECT_EQ(extension().Firmware.Valid, 0);
  SetValue("BulkMode", 0);
  ASSERT_EQ(Open(), STATUS_SUCCESS);
  EXPECT_EQ(extension().DecoderContext.gammaLevel, 0u);
  EXPECT_FALSE(Stream(2).empty());
}

TEST_F(SettingsStore, HostileNegativeValuesSaturateInTheRestore) {
  const struct {
    uint32_t brightness, whiteBalance;
    uint16_t setup, gainB;
  } cases[] = {
      // Brightness - 128 saturates at the 16-bit setup value's lowest; the
      // gain's 32-bit product saturates: (2147483647 / 10 - 114) mod 256.
      {0x80000005, 0x80000000, 0x8000, 90},
      {static_cast<uint32_t>(-40'000), static_cast<uint32_t>(-40'000'000), 0x8000, 90},
      // Negative values small enough to compute exactly are kept as they are.
      {static_cast<uint32_t>(-1'000), static_cast<uint32_t>(-5), 0xFB98, 238},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.whiteBalance);
    Plug();
    SetValue("Brightness", c.brightness);
    SetValue("White Balance", c.whiteBalance);
    SetValue("Auto White Balance Enable", 0);
    ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
    SetValue("BulkMode", 0);
    const size_t mark = registers().Calls().size();
    ASSERT_EQ(Open(), STATUS_SUCCESS);
    const auto calls = registers().Calls();
    const auto written = [&](uint16_t address) -> std::optional<uint16_t> {
      for (size_t i = mark; i < calls.size(); ++i) {
        if (!calls[i].in && calls[i].request == 0 && calls[i].index == address) {
          return calls[i].value;
        }
      }
      return std::nullopt;
    };
    EXPECT_EQ(written(0x8167), c.setup);
    EXPECT_EQ(written(0x8151), 152);
    EXPECT_EQ(written(0x8153), c.gainB);
    ASSERT_EQ(camera().Stop(), STATUS_SUCCESS);
  }
}

TEST_F(SettingsStore, TheFirmwareGroupIsKeptOnlyWhenAllEightAreInRange) {
  const char* names[8] = {"Fw_AeawbSwitch", "Fw_CurShutter", "Fw_CurAgc", "Fw_FreqSwitch",
                          "Fw_RGain",       "Fw_BGain",      "Fw_AdjAgc", "Fw_EvRef"};
  const uint32_t values[8] = {4, 1021, 300, 15, 0, 255, 1, 256};
  for (int i = 0; i < 8; ++i) SetValue(names[i], values[i]);
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(extension().Firmware.Valid, 1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(extension().Firmware.Values[i], values[i]) << names[i];
  ASSERT_EQ(camera().Stop(), STATUS_SUCCESS);
  SetValue("Fw_EvRef", 127);
  Plug();
  ASSERT_EQ(camera().Start(), STATUS_SUCCESS);
  EXPECT_EQ(extension().Firmware.Valid, 0);
}

}  // namespace
}  // namespace ksv::driver
