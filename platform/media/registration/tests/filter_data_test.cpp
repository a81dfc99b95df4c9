// The filter data codec: what is written reads back, and damaged bytes are
// refused without reading past their end.
#include <gtest/gtest.h>

#include "platform/media/media.h"
#include "platform/media/registration/filter_data.h"

namespace ksv::media::registration {
namespace {

FilterData Sample() {
  FilterData data;
  data.merit = MERIT_NORMAL + 2;
  PinData in;
  in.flags = REG_PINFLAG_B_RENDERER | REG_PINFLAG_B_MANY;
  in.instances = 3;
  in.types = {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}, {MEDIATYPE_Audio, GUID_NULL}};
  in.mediums = {{MEDIATYPE_Stream, 7, 0xFFFFFFFF}};
  PinData out;
  out.flags = REG_PINFLAG_B_OUTPUT;
  out.category = FORMAT_VideoInfo;
  data.pins = {in, out};
  return data;
}

TEST(FilterDataCodec, RoundTripsEveryField) {
  const std::vector<uint8_t> bytes = EncodeFilterData(Sample());
  const auto back = DecodeFilterData(bytes.data(), bytes.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->merit, MERIT_NORMAL + 2);
  ASSERT_EQ(back->pins.size(), 2u);
  const PinData& in = back->pins[0];
  EXPECT_EQ(in.flags, REG_PINFLAG_B_RENDERER | REG_PINFLAG_B_MANY);
  EXPECT_EQ(in.instances, 3u);
  ASSERT_EQ(in.types.size(), 2u);
  EXPECT_EQ(in.types[0].subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(in.types[1].major, MEDIATYPE_Audio);
  ASSERT_EQ(in.mediums.size(), 1u);
  EXPECT_EQ(in.mediums[0].clsMedium, MEDIATYPE_Stream);
  EXPECT_EQ(in.mediums[0].dw2, 0xFFFFFFFFu);
  EXPECT_TRUE(back->pins[1].IsOutput());
  EXPECT_EQ(back->pins[1].category, FORMAT_VideoInfo);
  // Little-endian fields: the format word, then the merit.
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[4], 2);
  EXPECT_EQ(bytes[6], 0x60);
}

TEST(FilterDataCodec, RefusesDamagedBytes) {
  const std::vector<uint8_t> bytes = EncodeFilterData(Sample());
  for (size_t size = 0; size < bytes.size(); ++size) {
    // Copied so a read past `size` would be caught by the sanitizers.
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    EXPECT_FALSE(DecodeFilterData(cut.data(), cut.size()).has_value()) << size;
  }
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeFilterData(longer.data(), longer.size()).has_value());
  std::vector<uint8_t> otherFormat = bytes;
  otherFormat[0] = 1;
  EXPECT_FALSE(DecodeFilterData(otherFormat.data(), otherFormat.size()).has_value());
  // Huge counts in every count field are refused before anything is sized.
  std::vector<uint8_t> hugePins = bytes;
  hugePins[8] = hugePins[9] = hugePins[10] = hugePins[11] = 0xFF;
  EXPECT_FALSE(DecodeFilterData(hugePins.data(), hugePins.size()).has_value());
  std::vector<uint8_t> hugeTypes = bytes;
  hugeTypes[20] = hugeTypes[21] = hugeTypes[22] = hugeTypes[23] = 0xFF;
  EXPECT_FALSE(DecodeFilterData(hugeTypes.data(), hugeTypes.size()).has_value());
  EXPECT_FALSE(DecodeFilterData(nullptr, 0).has_value());
}

TEST(FilterDataCodec, ReadsBothRecordVersions) {
  const REGPINTYPES video = {&MEDIATYPE_Video, nullptr};
  const REGFILTERPINS pins1[] = {{nullptr, TRUE, TRUE, TRUE, TRUE, nullptr, nullptr, 1, &video}};
  REGFILTER2 record{};
  record.dwVersion = 1;
  record.dwMerit = MERIT_DO_NOT_USE;
  record.cPins = 1;
  record.rgPins = pins1;
  auto data = FromRegFilter(record);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->merit, MERIT_DO_NOT_USE);
  EXPECT_EQ(data->pins[0].flags, REG_PINFLAG_B_ZERO | REG_PINFLAG_B_RENDERER |
                                     REG_PINFLAG_B_MANY | REG_PINFLAG_B_OUTPUT);
  EXPECT_EQ(data->pins[0].types[0].subtype, GUID_NULL);

  record.rgPins = nullptr;  // pins counted but missing
  EXPECT_FALSE(FromRegFilter(record).has_value());
  REGFILTERPINS2 pins2[] = {{REG_PINFLAG_B_OUTPUT, 0, 2, nullptr, 0, nullptr, nullptr}};
  record.dwVersion = 2;
  record.cPins2 = 1;
  record.rgPins2 = pins2;
  EXPECT_FALSE(FromRegFilter(record).has_value());  // types counted but missing
}

}  // namespace
}  // namespace ksv::media::registration
