#include "apps/ksvcam/frame_decode_session.h"

#include <stdexcept>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

// Stored frames are dequantised with their own table, loaded over this
// built-in pair so the decoder starts from a known state.
constexpr int kStoredBasePair = 2;

}  // namespace

FrameDecodeSession::FrameDecodeSession(const DecodeRequest& request) : request_(request) {
  if (request.storedTable) {
    storedDecoder_ = std::make_unique<codec::StoredFrameDecoder>();
    if (!storedDecoder_->SetUp()) throw CommandFailure("cannot set up the decoder: out of memory");
    if (!storedDecoder_->Prepare(request.size, OutputCodeOf(request.layout))) {
      throw CommandFailure("the stored-frame decoder has no " +
                           std::string(LayoutName(request.layout)) + " layout for " +
                           SizeText(request.size));
    }
    storedDecoder_->SelectQuantPair(kStoredBasePair);
    storedDecoder_->LoadQuantTable(*request.storedTable);
    return;
  }
  liveDecoder_ = std::make_unique<codec::DecoderTables>();
  if (!liveDecoder_->SetUp()) throw CommandFailure("cannot set up the decoder: out of memory");
  if (!codec::SetGammaLevel(context_, request.gamma)) {
    throw CommandFailure("the decoder refuses gamma level " + std::to_string(request.gamma));
  }
}

FrameDecodeSession::~FrameDecodeSession() = default;

size_t FrameDecodeSession::PictureBytes() const {
  return codec::OutputBytes(request_.size, OutputCodeOf(request_.layout));
}

codec::DecodeResult FrameDecodeSession::Decode(std::span<const uint8_t> frame,
                                               std::vector<uint8_t>& output) {
  output.resize(PictureBytes());
  uint32_t written = 0;
  if (storedDecoder_) return storedDecoder_->Decode(frame, output, written);
  switch (request_.layout) {
    case DecodedLayout::kI420:
      return liveDecoder_->DecodeFrame(context_, frame, output, written, request_.size,
                                       request_.size, codec::kCompressionI420);
    case DecodedLayout::kBgr24:
      return liveDecoder_->DecodeFrame(context_, frame, output, written, request_.size,
                                       request_.size, codec::kCompressionRgb);
    case DecodedLayout::kRgb24:
      // Only the direct path writes R, G, B.
      return liveDecoder_->DecodeDirect(frame, output, written, request_.size,
                                        codec::OutputCode::kRgb24);
  }
  throw std::logic_error("unknown layout");
}

}  // namespace ksv::ksvcam
