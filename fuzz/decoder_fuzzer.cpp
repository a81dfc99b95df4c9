// Any bytes given to either decoder flavour give a picture or a failure,
// never a read outside the input or the output.
//
// Input: byte 0 picks flavour, size and output; for stored frames the next
// 128 bytes are the quantisation table; the rest is the frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/decoder.h"

using namespace ksv::codec;

namespace {

struct Choice {
  FrameSize decode;
  FrameSize output;
  uint32_t compression;
};

constexpr Choice kDriverChoices[] = {
    {{320, 240}, {320, 240}, kCompressionI420}, {{320, 240}, {320, 240}, kCompressionRgb},
    {{160, 128}, {160, 120}, kCompressionI420}, {{160, 128}, {160, 120}, kCompressionRgb},
    {{160, 128}, {160, 128}, kCompressionRgb},  {{176, 144}, {176, 144}, kCompressionIYUV},
    {{352, 288}, {320, 240}, kCompressionRgb},  {{640, 480}, {640, 480}, kCompressionI420},
};

constexpr FrameSize kStoredSizes[] = {{160, 112}, {160, 120}, {320, 240}, {176, 144}};

DecoderTables& Driver() {
  static DecoderTables decoder;
  static bool ready = decoder.SetUp();
  (void)ready;
  return decoder;
}

StoredFrameDecoder& Stored() {
  static StoredFrameDecoder decoder;
  static bool ready = decoder.SetUp();
  (void)ready;
  return decoder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t selector = data[0];
  std::vector<uint8_t> input(data + 1, data + size);  // exactly sized, so overreads are caught
  uint32_t written = 0;

  if ((selector & 0x80) == 0) {
    const Choice& c = kDriverChoices[selector % 8];
    DecoderContext context;
    SetGammaLevel(context, (selector >> 3) % 10);
    std::vector<uint8_t> out(c.compression == kCompressionRgb ? Rgb24Bytes(c.output) : PlanarBytes(c.output));
    Driver().DecodeFrame(context, input, out, written, c.decode, c.output, c.compression);
  } else {
    if (input.size() < 128) return 0;
    StoredFrameDecoder& stored = Stored();
    FrameSize s = kStoredSizes[selector % 4];
    OutputCode code = (selector & 0x10) ? OutputCode::kRgb24 : OutputCode::kBgr24;
    if (s.width == 160 && s.height == 112 && (selector & 0x20)) code = OutputCode::kPlanar420;
    if (!stored.Prepare(s, code)) return 0;
    stored.SelectQuantPair((selector >> 2) & 7);
    stored.LoadQuantTable(std::span<const uint8_t, 128>(input.data(), 128));
    std::vector<uint8_t> frame(input.begin() + 128, input.end());
    std::vector<uint8_t> out(OutputBytes(s, code));
    stored.Decode(frame, out, written);
  }
  return 0;
}
