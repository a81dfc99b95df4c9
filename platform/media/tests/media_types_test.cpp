// The framework's types as other code lays them out and copies them.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/media.h"

namespace {

TEST(MediaFormats, SizesAndOffsetsAreThePlatforms) {
  EXPECT_EQ(sizeof(VIDEOINFOHEADER), 88u);
  EXPECT_EQ(sizeof(VIDEOINFO), 1124u);
  EXPECT_EQ(sizeof(WAVEFORMATEX), 18u);
  EXPECT_EQ(offsetof(WAVEFORMATEX, cbSize), 16u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, bmiHeader), 48u);
}

TEST(MediaGuids, SubtypesCarryTheirCodes) {
  EXPECT_EQ(ksv::com::FormatGuid(MEDIASUBTYPE_WAVE), "{E436EB8B-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(FourccSubtype(0x30323449u), MEDIASUBTYPE_I420);
  EXPECT_EQ(FourccSubtype(WAVE_FORMAT_PCM), MEDIASUBTYPE_PCM);
  EXPECT_EQ(MEDIATYPE_Video.Data1, 0x73646976u);  // "vids"
  EXPECT_EQ(MEDIATYPE_Audio.Data1, 0x73647561u);  // "auds"
  EXPECT_FALSE(MEDIASUBTYPE_RGB24 == MEDIASUBTYPE_RGB32);
}

TEST(MediaResultCodes, HaveTheDocumentedValues) {
  EXPECT_EQ(static_cast<uint32_t>(VFW_E_NO_ACCEPTABLE_TYPES), 0x80040207u);
  EXPECT_EQ(static_cast<uint32_t>(VFW_E_NOT_COMMITTED), 0x80040211u);
  EXPECT_EQ(VFW_S_NO_MORE_ITEMS, 0x00040103);
  EXPECT_TRUE(SUCCEEDED(VFW_S_STATE_INTERMEDIATE));
  EXPECT_EQ(EC_ERRORABORT, 3);
}

TEST(MediaTypeCopies, OwnTheirFormatBlock) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 2;
  AM_MEDIA_TYPE source{};
  source.majortype = MEDIATYPE_Audio;
  source.formattype = FORMAT_WaveFormatEx;
  source.cbFormat = sizeof wave;
  source.pbFormat = reinterpret_cast<BYTE*>(&wave);

  AM_MEDIA_TYPE* copy = CreateMediaType(&source);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->pbFormat, source.pbFormat);
  ASSERT_EQ(copy->cbFormat, 18u);
  EXPECT_EQ(std::memcmp(copy->pbFormat, &wave, sizeof wave), 0);
  EXPECT_EQ(copy->majortype, MEDIATYPE_Audio);
  DeleteMediaType(copy);

  AM_MEDIA_TYPE empty{};
  empty.cbFormat = 5;  // a count without a block is no block
  AM_MEDIA_TYPE target{};
  ASSERT_EQ(CopyMediaType(&target, &empty), S_OK);
  EXPECT_EQ(target.cbFormat, 0u);
  EXPECT_EQ(target.pbFormat, nullptr);
  FreeMediaType(target);
  DeleteMediaType(nullptr);
}

}  // namespace
