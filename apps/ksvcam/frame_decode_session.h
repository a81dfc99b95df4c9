// The decoder, set up once for one kind of frame and decoded with as often as
// needed (`decode --repeat`).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "apps/ksvcam/decode_plan.h"
#include "codec/decoder.h"

namespace ksv::ksvcam {

struct DecodeRequest {
  codec::FrameSize size;
  DecodedLayout layout = DecodedLayout::kBgr24;
  uint32_t gamma = 0;  // header flavour only
  // Stored flavour when set: the frame has no header and is dequantised with
  // this table (64 luminance, then 64 chrominance entries).
  std::optional<std::array<uint8_t, 128>> storedTable;
};

class FrameDecodeSession {
 public:
  // Throws CommandFailure when the decoder cannot be set up for the request.
  explicit FrameDecodeSession(const DecodeRequest& request);
  ~FrameDecodeSession();
  FrameDecodeSession(const FrameDecodeSession&) = delete;
  FrameDecodeSession& operator=(const FrameDecodeSession&) = delete;

  // Decodes `frame` into `output`, which is resized to the picture's bytes.
  // A failure names why the frame does not decode at the requested size.
  codec::DecodeResult Decode(std::span<const uint8_t> frame, std::vector<uint8_t>& output);

  size_t PictureBytes() const;

 private:
  DecodeRequest request_;
  codec::DecoderContext context_;
  std::unique_ptr<codec::DecoderTables> liveDecoder_;
  std::unique_ptr<codec::StoredFrameDecoder> storedDecoder_;
};

}  // namespace ksv::ksvcam
