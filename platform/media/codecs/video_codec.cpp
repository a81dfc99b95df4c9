#include "platform/media/codecs/video_codec.h"

#include "platform/media/codecs/cinepak_codec.h"
#include "platform/media/codecs/mjpeg_codec.h"
#include "platform/media/codecs/raw_codec.h"

namespace ksv::media::codecs {
namespace {

// Names as the codecs are listed among the video compressors; the
// uncompressed forms are not listed.
const VideoCodec kCodecs[] = {
    {kFourccMjpg, "Motion JPEG Codec", true, MakeMjpegDecoder, MakeMjpegEncoder, 24},
    {kFourccCvid, "Cinepak Codec by Radius", true, MakeCinepakDecoder, MakeCinepakEncoder, 24},
    {kFourccI420, "I420 (planar YUV 4:2:0)", false, MakeI420Decoder, MakeI420Encoder, 12},
    {kFourccIyuv, "IYUV (planar YUV 4:2:0)", false, MakeI420Decoder, MakeI420Encoder, 12},
    {kBiRgb, "Uncompressed RGB", false, MakeRgbDecoder, MakeRgbEncoder, 24},
};

uint32_t LowerCase(uint32_t fourcc) {
  uint32_t lower = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t byte = (fourcc >> shift) & 0xFF;
    if (byte >= 'A' && byte <= 'Z') byte += 'a' - 'A';
    lower |= byte << shift;
  }
  return lower;
}

}  // namespace

std::string FourccText(uint32_t fourcc) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) text.push_back(static_cast<char>(fourcc >> shift));
  return text;
}

std::span<const VideoCodec> VideoCodecs() { return kCodecs; }

const VideoCodec* FindVideoCodec(uint32_t fourcc) {
  for (const VideoCodec& codec : kCodecs) {
    if (LowerCase(codec.fourcc) == LowerCase(fourcc)) return &codec;
  }
  return nullptr;
}

}  // namespace ksv::media::codecs
