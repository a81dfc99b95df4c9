// The MPEG-1 headers and format blocks the filters read and write
// themselves: hand-made headers with known fields, cut-short and hostile
// bytes, and the PCM conversion of decoded audio.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/media/filters/mpeg1/mpeg_headers.h"
#include "platform/media/filters/mpeg1/mpeg_media_types.h"
#include "platform/media/filters/mpeg1/pcm_convert.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

namespace {

using namespace ksv::media::mpeg1;

// A sequence header for 352x288, 25 frames a second, 1,150,000 bit/s,
// optionally with both quantiser matrices, after `lead` other bytes.
std::vector<uint8_t> SequenceHeaderBytes(bool intra, bool nonIntra, size_t lead = 3) {
  std::vector<uint8_t> bytes(lead, 0xAA);
  const uint32_t rate = 1150000 / 400;  // 2875
  const uint8_t fixed[] = {0x00, 0x00, 0x01, 0xB3, 352 >> 4, ((352 & 0xF) << 4) | (288 >> 8),
                           288 & 0xFF, 0x13,  // aspect 1, rate code 3
                           static_cast<uint8_t>(rate >> 10), static_cast<uint8_t>(rate >> 2),
                           static_cast<uint8_t>(((rate & 3) << 6) | 0x20 | 0x1F), 0xF8};
  bytes.insert(bytes.end(), fixed, fixed + sizeof fixed);
  if (intra) {
    bytes.back() |= 0x02;
    bytes.insert(bytes.end(), 64, 0x10);
  }
  if (nonIntra) {
    bytes.back() |= 0x01;
    bytes.insert(bytes.end(), 64, 0x10);
  }
  const uint8_t next[] = {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};  // GOP 00:00:00:00
  bytes.insert(bytes.end(), next, next + sizeof next);
  return bytes;
}

TEST(SequenceHeader, ReadsSizeRateAndLengthWithEitherMatrix) {
  struct Case {
    bool intra;
    bool nonIntra;
    size_t size;
  };
  for (const Case& c : {Case{false, false, 12}, Case{true, false, 76}, Case{false, true, 76},
                        Case{true, true, 140}}) {
    const std::vector<uint8_t> bytes = SequenceHeaderBytes(c.intra, c.nonIntra);
    SequenceHeader header;
    ASSERT_TRUE(FindSequenceHeader(bytes.data(), bytes.size(), &header)) << c.size;
    EXPECT_EQ(header.bytes, bytes.data() + 3);
    EXPECT_EQ(header.size, c.size);
    EXPECT_EQ(header.width, 352);
    EXPECT_EQ(header.height, 288);
    EXPECT_EQ(header.frameRateCode, 3);
    EXPECT_EQ(header.bitRate, 1150000u);
  }
  EXPECT_EQ(FrameTimeOfRateCode(3), 400000);
  EXPECT_EQ(FrameTimeOfRateCode(4), 333666);  // 30000/1001
  EXPECT_EQ(FrameTimeOfRateCode(0), 0);
  EXPECT_EQ(FrameTimeOfRateCode(9), 0);
}

TEST(SequenceHeader, RefusesCutShortAndEmptyPictures) {
  const std::vector<uint8_t> bytes = SequenceHeaderBytes(true, true, 0);
  SequenceHeader header;
  // Cut inside the fixed part, inside each matrix.
  for (size_t size : {size_t{3}, size_t{11}, size_t{75}, size_t{139}}) {
    EXPECT_FALSE(FindSequenceHeader(bytes.data(), size, &header)) << size;
  }
  EXPECT_TRUE(FindSequenceHeader(bytes.data(), 140, &header));
  std::vector<uint8_t> empty = SequenceHeaderBytes(false, false, 0);
  empty[4] = 0;
  empty[5] &= 0x0F;
  EXPECT_FALSE(FindSequenceHeader(empty.data(), empty.size(), &header));
  EXPECT_FALSE(FindSequenceHeader(nullptr, 100, &header));
}

TEST(SequenceHeader, GopTimeCodeIsTheFirst25Bits) {
  // drop 0, 01:02:03, pictures 04: 0 00001 000010 1 000011 000100
  const uint8_t bytes[] = {0xFF, 0x00, 0x00, 0x01, 0xB8, 0x04, 0x28, 0x62, 0x00};
  uint32_t timeCode = 0;
  ASSERT_TRUE(FindGopTimeCode(bytes, sizeof bytes, &timeCode));
  EXPECT_EQ(timeCode, (1u << 19) | (2u << 13) | (1u << 12) | (3u << 6) | 4u);
  EXPECT_FALSE(FindGopTimeCode(bytes, sizeof bytes - 1, &timeCode));
}

TEST(AudioFrameHeader, ReadsLayerRateModeAndFlags) {
  // MPEG-1 layer 2, no CRC, 384 kbit/s, 44.1 kHz, private bit, single
  // channel, copyright, original, no emphasis.
  const uint8_t layer2[] = {0xFF, 0xFD, 0xE1, 0xCC};
  AudioFrameHeader header;
  ASSERT_TRUE(ParseAudioFrameHeader(layer2, 4, &header));
  EXPECT_EQ(header.version, 1);
  EXPECT_EQ(header.layer, 2);
  EXPECT_EQ(header.bitRate, 384000u);
  EXPECT_EQ(header.sampleRate, 44100);
  EXPECT_EQ(header.mode, 3);
  EXPECT_EQ(header.channels(), 1);
  EXPECT_TRUE(header.protectionBit);
  EXPECT_TRUE(header.privateBit);
  EXPECT_TRUE(header.copyright);
  EXPECT_TRUE(header.original);

  // MPEG-2 layer 3, CRC, 64 kbit/s, 24 kHz, joint stereo, extension 2.
  const uint8_t layer3[] = {0xFF, 0xF2, 0x84, 0x60};
  ASSERT_TRUE(ParseAudioFrameHeader(layer3, 4, &header));
  EXPECT_EQ(header.version, 2);
  EXPECT_EQ(header.layer, 3);
  EXPECT_EQ(header.bitRate, 64000u);
  EXPECT_EQ(header.sampleRate, 24000);
  EXPECT_EQ(header.mode, 1);
  EXPECT_EQ(header.modeExtension, 2);
  EXPECT_FALSE(header.protectionBit);
  EXPECT_EQ(header.channels(), 2);
}

TEST(AudioFrameHeader, RefusesWhatIsNotAHeader) {
  AudioFrameHeader header;
  const uint8_t noSync[] = {0xFF, 0x1D, 0xE1, 0xCC};
  const uint8_t reservedVersion[] = {0xFF, 0xED, 0xE1, 0xCC};
  const uint8_t reservedLayer[] = {0xFF, 0xF9, 0xE1, 0xCC};
  const uint8_t badRate[] = {0xFF, 0xFD, 0xF1, 0xCC};
  const uint8_t badFrequency[] = {0xFF, 0xFD, 0xEC, 0xCC};
  for (const uint8_t* bytes : {noSync, reservedVersion, reservedLayer, badRate, badFrequency}) {
    EXPECT_FALSE(ParseAudioFrameHeader(bytes, 4, &header));
  }
  const uint8_t good[] = {0xFF, 0xFD, 0xE1, 0xCC};
  EXPECT_FALSE(ParseAudioFrameHeader(good, 3, &header));
}

TEST(SystemPacket, FindsPayloadAndTimeStamp) {
  // Video packet: 2 stuffing bytes, buffer size, PTS 0x1_2345_6789 and DTS.
  std::vector<uint8_t> bytes = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0xFF, 0xFF, 0x60, 0x2E};
  const int64_t pts = 0x123456789;
  const uint8_t stamp[] = {
      static_cast<uint8_t>(0x31 | ((pts >> 29) & 0x0E)), static_cast<uint8_t>(pts >> 22),
      static_cast<uint8_t>(((pts >> 14) & 0xFE) | 1), static_cast<uint8_t>(pts >> 7),
      static_cast<uint8_t>(((pts << 1) & 0xFE) | 1)};
  bytes.insert(bytes.end(), stamp, stamp + 5);
  bytes.insert(bytes.end(), stamp, stamp + 5);  // DTS (same value)
  const uint8_t payload[] = {0x00, 0x00, 0x01, 0x00, 0x12};
  bytes.insert(bytes.end(), payload, payload + sizeof payload);
  const size_t length = bytes.size() - 6;
  bytes[4] = static_cast<uint8_t>(length >> 8);
  bytes[5] = static_cast<uint8_t>(length);
  bytes.push_back(0x99);  // the next packet's first byte

  SystemPacket packet;
  ASSERT_TRUE(ReadSystemPacket(bytes.data(), bytes.size(), &packet));
  EXPECT_TRUE(packet.hasPts);
  EXPECT_EQ(packet.pts, pts);
  EXPECT_EQ(packet.payloadOffset, 20u);
  EXPECT_EQ(packet.payloadSize, sizeof payload);

  // Without time stamps (0x0F) the payload follows at once.
  const uint8_t plain[] = {0x00, 0x00, 0x01, 0xC0, 0x00, 0x03, 0x0F, 0xAB, 0xCD};
  ASSERT_TRUE(ReadSystemPacket(plain, sizeof plain, &packet));
  EXPECT_FALSE(packet.hasPts);
  EXPECT_EQ(packet.payloadOffset, 7u);
  EXPECT_EQ(packet.payloadSize, 2u);
}

TEST(SystemPacket, RefusesCutShortAndMalformedPackets) {
  SystemPacket packet;
  const uint8_t cut[] = {0x00, 0x00, 0x01, 0xC0, 0x00, 0x10, 0x0F, 0xAB};  // says 16 bytes
  EXPECT_FALSE(ReadSystemPacket(cut, sizeof cut, &packet));
  const uint8_t stampCut[] = {0x00, 0x00, 0x01, 0xC0, 0x00, 0x03, 0x21, 0x00, 0x01};
  EXPECT_FALSE(ReadSystemPacket(stampCut, sizeof stampCut, &packet));
  const uint8_t packCode[] = {0x00, 0x00, 0x01, 0xBA, 0x00, 0x01, 0x0F};  // not a packet
  EXPECT_FALSE(ReadSystemPacket(packCode, sizeof packCode, &packet));
  std::vector<uint8_t> stuffing = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x12};
  stuffing.insert(stuffing.end(), 17, 0xFF);  // more stuffing than allowed
  stuffing.push_back(0x0F);
  EXPECT_FALSE(ReadSystemPacket(stuffing.data(), stuffing.size(), &packet));
}

TEST(MpegMediaTypes, VideoTypeCarriesTheSequenceHeaderAndReadsBack) {
  const std::vector<uint8_t> bytes = SequenceHeaderBytes(true, false);
  SequenceHeader header;
  ASSERT_TRUE(FindSequenceHeader(bytes.data(), bytes.size(), &header));
  CMediaType type;
  ASSERT_EQ(MakeVideoType(header, 0x1234, 0, &type), S_OK);
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_MPEG1Payload);
  EXPECT_EQ(*type.FormatType(), FORMAT_MPEGVideo);
  ASSERT_EQ(type.FormatLength(), MPEG1VIDEOINFO_HEADER_SIZE + 76);
  const auto* info = reinterpret_cast<const MPEG1VIDEOINFO*>(type.Format());
  EXPECT_EQ(info->hdr.bmiHeader.biWidth, 352);
  EXPECT_EQ(info->hdr.bmiHeader.biHeight, 288);
  EXPECT_EQ(info->hdr.AvgTimePerFrame, 400000);
  EXPECT_EQ(info->hdr.dwBitRate, 1150000u);
  EXPECT_EQ(info->dwStartTimeCode, 0x1234u);
  EXPECT_EQ(info->cbSequenceHeader, 76u);
  EXPECT_EQ(std::memcmp(type.Format() + MPEG1VIDEOINFO_HEADER_SIZE, header.bytes, 76), 0);

  VideoFormat format;
  ASSERT_TRUE(ReadVideoFormat(type, &format));
  EXPECT_EQ(format.width, 352);
  EXPECT_EQ(format.height, 288);
  EXPECT_EQ(format.frameTime, 400000);
  EXPECT_EQ(format.sequenceHeaderSize, 76u);
  EXPECT_EQ(format.sequenceHeader, type.Format() + MPEG1VIDEOINFO_HEADER_SIZE);
}

TEST(MpegMediaTypes, VideoFormatRefusesBlocksThatLie) {
  const std::vector<uint8_t> bytes = SequenceHeaderBytes(false, false);
  SequenceHeader header;
  ASSERT_TRUE(FindSequenceHeader(bytes.data(), bytes.size(), &header));
  CMediaType good;
  ASSERT_EQ(MakeVideoType(header, 0, 0, &good), S_OK);
  VideoFormat format;

  CMediaType overlong(good);  // says more sequence-header bytes than the block has
  reinterpret_cast<MPEG1VIDEOINFO*>(overlong.Format())->cbSequenceHeader = 13;
  EXPECT_FALSE(ReadVideoFormat(overlong, &format));

  CMediaType shortBlock(good);  // cut inside the MPEG1VIDEOINFO fields
  shortBlock.ReallocFormatBuffer(MPEG1VIDEOINFO_HEADER_SIZE - 1);
  EXPECT_FALSE(ReadVideoFormat(shortBlock, &format));

  CMediaType huge(good);
  reinterpret_cast<MPEG1VIDEOINFO*>(huge.Format())->hdr.bmiHeader.biWidth = 100000;
  EXPECT_FALSE(ReadVideoFormat(huge, &format));

  CMediaType audio(good);
  audio.SetType(&MEDIATYPE_Audio);
  EXPECT_FALSE(ReadVideoFormat(audio, &format));
}

TEST(MpegMediaTypes, AudioTypeDescribesTheFrameHeader) {
  const uint8_t bytes[] = {0xFF, 0xFD, 0xE1, 0x84};  // layer 2, 384k, 44.1k, joint, ext 0
  AudioFrameHeader header;
  ASSERT_TRUE(ParseAudioFrameHeader(bytes, 4, &header));
  header.mode = 1;
  CMediaType type;
  ASSERT_EQ(MakeAudioType(header, (int64_t{1} << 32) + 5, &type), S_OK);
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_MPEG1AudioPayload);
  ASSERT_EQ(type.FormatLength(), sizeof(MPEG1WAVEFORMAT));
  MPEG1WAVEFORMAT wave;
  std::memcpy(&wave, type.Format(), sizeof wave);
  EXPECT_EQ(wave.wfx.wFormatTag, WAVE_FORMAT_MPEG);
  EXPECT_EQ(wave.wfx.nChannels, 2);
  EXPECT_EQ(wave.wfx.nSamplesPerSec, 44100u);
  EXPECT_EQ(wave.wfx.nAvgBytesPerSec, 48000u);
  EXPECT_EQ(wave.wfx.cbSize, 22);
  EXPECT_EQ(wave.fwHeadLayer, ACM_MPEG_LAYER2);
  EXPECT_EQ(wave.dwHeadBitrate, 384000u);
  EXPECT_EQ(wave.fwHeadMode, ACM_MPEG_JOINTSTEREO);
  EXPECT_EQ(wave.fwHeadModeExt, 1);
  EXPECT_EQ(wave.wHeadEmphasis, 1);
  EXPECT_EQ(wave.fwHeadFlags, ACM_MPEG_PRIVATEBIT | ACM_MPEG_PROTECTIONBIT | ACM_MPEG_ORIGINALHOME |
                                  ACM_MPEG_ID_MPEG1);
  EXPECT_EQ(wave.dwPTSLow, 5u);
  EXPECT_EQ(wave.dwPTSHigh, 1u);

  AudioFormat format;
  ASSERT_TRUE(ReadAudioFormat(type, &format));
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.sampleRate, 44100);
  EXPECT_EQ(format.layer, 2);

  // A plain WAVEFORMATEX says no layer; a PCM tag is not MPEG audio.
  CMediaType plain(type);
  plain.ReallocFormatBuffer(sizeof(WAVEFORMATEX));
  ASSERT_TRUE(ReadAudioFormat(plain, &format));
  EXPECT_EQ(format.layer, 0);
  reinterpret_cast<WAVEFORMATEX*>(plain.Format())->wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_FALSE(ReadAudioFormat(plain, &format));
  CMediaType channels(type);
  reinterpret_cast<WAVEFORMATEX*>(channels.Format())->nChannels = 7;
  EXPECT_FALSE(ReadAudioFormat(channels, &format));
}

// A decoded-audio frame of `format` with `channels` channels and 4 samples.
struct TestFrame {
  TestFrame(AVSampleFormat format, int channels) : frame(av_frame_alloc()) {
    frame->format = format;
    frame->nb_samples = 4;
    av_channel_layout_default(&frame->ch_layout, channels);
    EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
  }
  ~TestFrame() { av_frame_free(&frame); }
  AVFrame* frame;
};

TEST(PcmConvert, InterleavesPlanarAndClampsFloat) {
  TestFrame planar(AV_SAMPLE_FMT_FLTP, 2);
  const float left[] = {0.0f, 0.5f, 1.5f, -1.0f};
  const float right[] = {-0.5f, 0.25f, -2.0f, 0.999f};
  std::memcpy(planar.frame->extended_data[0], left, sizeof left);
  std::memcpy(planar.frame->extended_data[1], right, sizeof right);
  int16_t out[8] = {};
  ASSERT_TRUE(ConvertToS16(*planar.frame, 2, 0, 4, 2, out));
  const int16_t expected[] = {0, -16384, 16384, 8192, 32767, -32768, -32768, 32735};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]) << i;

  // A range of samples only, and out of range refused.
  int16_t part[2] = {};
  ASSERT_TRUE(ConvertToS16(*planar.frame, 2, 1, 1, 2, part));
  EXPECT_EQ(part[0], 16384);
  EXPECT_EQ(part[1], 8192);
  EXPECT_FALSE(ConvertToS16(*planar.frame, 2, 2, 3, 2, out));
}

TEST(PcmConvert, MonoFillsBothChannelsAndS16PassesThrough) {
  TestFrame mono(AV_SAMPLE_FMT_S16P, 1);
  const int16_t values[] = {1, -2, 300, -32768};
  std::memcpy(mono.frame->extended_data[0], values, sizeof values);
  int16_t out[8] = {};
  ASSERT_TRUE(ConvertToS16(*mono.frame, 1, 0, 4, 2, out));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out[2 * i], values[i]);
    EXPECT_EQ(out[2 * i + 1], values[i]);
  }
  TestFrame packed(AV_SAMPLE_FMT_S32, 2);
  const int32_t wide[] = {0x12345678, -0x10000, 0, 0x7FFFFFFF, 0, 0, 0, 0};
  std::memcpy(packed.frame->extended_data[0], wide, sizeof wide);
  ASSERT_TRUE(ConvertToS16(*packed.frame, 2, 0, 2, 2, out));
  EXPECT_EQ(out[0], 0x1234);
  EXPECT_EQ(out[1], -1);
  EXPECT_EQ(out[3], 0x7FFF);
  TestFrame unknown(AV_SAMPLE_FMT_DBL, 1);
  EXPECT_FALSE(ConvertToS16(*unknown.frame, 1, 0, 4, 1, out));
}

}  // namespace
