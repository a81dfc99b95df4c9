#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/formats.h"
#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"
#include "resampler/audio_types.h"

namespace ksv::resampler {
namespace {

CMediaType Wave(WORD tag, WORD channels, DWORD rate, WORD bits, ULONG formatBytes = 18) {
  CMediaType type(&MEDIATYPE_Audio);
  type.SetSubtype(&MEDIASUBTYPE_PCM);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wave{};
  wave.wFormatTag = tag;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = bits;
  wave.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  wave.nAvgBytesPerSec = wave.nBlockAlign * rate;
  // Room for the largest format a test gives (WAVEFORMATEXTENSIBLE's 40
  // bytes); the bytes past the WAVEFORMATEX are zero.
  BYTE bytes[40] = {};
  std::memcpy(bytes, &wave, sizeof wave);
  type.SetFormat(bytes, formatBytes);
  return type;
}

// WAVE_FORMAT_EXTENSIBLE with `subFormat` as its SubFormat.
CMediaType Extensible(const GUID& subFormat, WORD extra = 22) {
  CMediaType type = Wave(0xFFFE, 2, 44100, 16, 40);
  std::memcpy(type.pbFormat + 16, &extra, sizeof extra);
  std::memcpy(type.pbFormat + 24, &subFormat, sizeof subFormat);
  return type;
}

TEST(CheckPcmInput, TakesPcmSoundTheConverterCanConvertAndNamesWhyItRefusesTheRest) {
  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 6025, 8)), S_OK) << "lowest rate";
  EXPECT_EQ(CheckPcmInput(Wave(1, 2, 48000, 16)), S_OK) << "highest rate";
  EXPECT_EQ(CheckPcmInput(Wave(1, 2, 44100, 16, 16)), S_OK) << "a PCMWAVEFORMAT without cbSize";
  EXPECT_EQ(CheckPcmInput(Extensible(MEDIASUBTYPE_PCM)), S_OK) << "extensible PCM";
  // A-law in extensible form is no PCM, nor is an extensible format that
  // has no SubFormat.
  const GUID alaw = ksv::com::Guid("00000006-0000-0010-8000-00AA00389B71");
  EXPECT_EQ(CheckPcmInput(Extensible(alaw)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(InputRefusal(Extensible(alaw)), "an extensible format whose SubFormat is not PCM");
  EXPECT_EQ(CheckPcmInput(Extensible(MEDIASUBTYPE_PCM, 0)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(0xFFFE, 2, 44100, 16)), VFW_E_NO_ACCEPTABLE_TYPES);

  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 6024, 16)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 48001, 16)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 96000, 16)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 0xFFFFFFFFu, 16)), VFW_E_NO_ACCEPTABLE_TYPES) << "no wrap";
  EXPECT_EQ(CheckPcmInput(Wave(1, 2, 44100, 24)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(1, 3, 44100, 16)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(1, 0, 44100, 16)), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(CheckPcmInput(Wave(7, 1, 8000, 8)), VFW_E_NO_ACCEPTABLE_TYPES)
      << "mu-law bytes are not unsigned PCM";

  CMediaType video = Wave(1, 1, 22050, 16);
  video.SetType(&MEDIATYPE_Video);
  EXPECT_EQ(CheckPcmInput(video), VFW_E_INVALIDMEDIATYPE);
  CMediaType bare(&MEDIATYPE_Audio);
  EXPECT_EQ(CheckPcmInput(bare), VFW_E_INVALIDMEDIATYPE) << "no format block";
  EXPECT_EQ(CheckPcmInput(Wave(1, 1, 22050, 16, 15)), VFW_E_INVALIDMEDIATYPE)
      << "a block too short to read";
}

TEST(OutputType, OffersTheConfiguredFormatThenTwentyFixedOnes) {
  const PcmFormat configured{32000, 2, 8};
  CMediaType type;
  ASSERT_EQ(OutputType(0, configured, &type), S_OK);
  EXPECT_TRUE(*type.Type() == MEDIATYPE_Audio);
  EXPECT_TRUE(*type.Subtype() == MEDIASUBTYPE_WAVE);
  EXPECT_TRUE(*type.FormatType() == FORMAT_WaveFormatEx);
  ASSERT_EQ(type.FormatLength(), 18u);
  WAVEFORMATEX wave{};
  std::memcpy(&wave, type.Format(), sizeof wave);
  EXPECT_EQ(wave.wFormatTag, 1);
  EXPECT_EQ(wave.nChannels, 2);
  EXPECT_EQ(wave.nSamplesPerSec, 32000u);
  EXPECT_EQ(wave.nBlockAlign, 2);
  EXPECT_EQ(wave.nAvgBytesPerSec, 64000u);
  EXPECT_EQ(wave.wBitsPerSample, 8);
  EXPECT_EQ(wave.cbSize, 0);

  struct Expected {
    int index;
    PcmFormat format;
  };
  for (const Expected& e : {Expected{1, {22050, 1, 16}}, Expected{5, {48000, 1, 16}},
                            Expected{6, {8000, 1, 8}}, Expected{13, {22050, 2, 16}},
                            Expected{20, {48000, 2, 8}}}) {
    ASSERT_EQ(OutputType(e.index, configured, &type), S_OK);
    const std::optional<PcmFormat> format = PcmFormatOf(type);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->rate, e.format.rate) << e.index;
    EXPECT_EQ(format->channels, e.format.channels) << e.index;
    EXPECT_EQ(format->bits, e.format.bits) << e.index;
  }
  EXPECT_EQ(OutputType(21, configured, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(OutputType(-1, configured, &type), E_INVALIDARG);
}

TEST(MeritNames, MatchWithoutRegardToCase) {
  EXPECT_EQ(MeritValue("MERIT_NORMAL+2"), 0x00600002u);
  EXPECT_EQ(MeritValue("merit_normal-1"), 0x005FFFFFu);
  EXPECT_EQ(MeritValue("Merit_Do_Not_Use"), 0x00200000u);
  EXPECT_EQ(MeritValue("MERIT_NORMAL+3"), 0u);
  EXPECT_EQ(MeritValue("MERIT_NORMAL+"), 0u) << "a prefix is no match";
  EXPECT_EQ(MeritIndex(0x00400000), 5);
  EXPECT_EQ(MeritIndex(0x00800000), -1);
}

}  // namespace
}  // namespace ksv::resampler
