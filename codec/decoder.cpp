#include "codec/decoder.h"

#include "codec/decoder_engine.h"
#include "codec/layouts.h"
#include "codec/picture_ops.h"
#include "support/byte_order.h"

namespace ksv::codec {

namespace {

// Stored frames are dequantised with their own table, loaded over this
// built-in pair so the decoder starts from a known state.
constexpr int kStoredBasePair = 2;

bool IsPlanarCompression(uint32_t compression) {
  return compression == kCompressionI420 || compression == kCompressionIYUV;
}

}  // namespace

bool LiveDecoderHasLayout(FrameSize size, OutputCode code) { return DriverHasLayout(size, code); }

bool StoredDecoderHasLayout(FrameSize size, OutputCode code) {
  return LibraryHasLayout(size, code);
}

std::span<const FrameSize> LayoutSizes() {
  static constexpr FrameSize kSizes[] = {{160, 112}, {160, 128}, {176, 144}, {320, 240},
                                         {352, 288}, {640, 480}, {1024, 768}};
  return kSizes;
}

bool SetGammaLevel(DecoderContext& context, uint32_t level) {
  if (level >= kGammaLevels) return false;
  context.gammaLevel = level;
  return true;
}

// ---------------------------------------------------------------------------
// Driver flavour

DecoderTables::DecoderTables() = default;
DecoderTables::~DecoderTables() = default;

bool DecoderTables::SetUp() {
  engine_ = DecoderEngine::Create();
  currentLevel_ = -1;
  return engine_ != nullptr;
}

void DecoderTables::Release() {
  engine_.reset();
  currentLevel_ = -1;
}

DecodeResult DecoderTables::SelectLevel(uint8_t level) {
  if (level >= kCompressionLevels) return DecodeError::kLevelNotSupported;
  if (level != currentLevel_) {
    engine_->SetDequant(FixedPointMultipliers(DriverLevelPair(level)));
    currentLevel_ = level;
  }
  return {};
}

DecodeResult DecoderTables::DecodeFrame(const DecoderContext& context,
                                        std::span<const uint8_t> frame, std::span<uint8_t> output,
                                        uint32_t& bytesWritten, FrameSize decode,
                                        FrameSize outputSize, uint32_t compression) {
  bytesWritten = 0;
  if (!engine_) return DecodeError::kNotSetUp;
  if (frame.size() < kFrameHeaderSize) return DecodeError::kDataEndsEarly;
  const bool planar = IsPlanarCompression(compression);
  if (!planar && compression != kCompressionRgb) return DecodeError::kFormatNotSupported;
  if (outputSize.width > decode.width || outputSize.height > decode.height ||
      outputSize.width % 2 || outputSize.height % 2 || outputSize.width == 0 ||
      outputSize.height == 0) {
    return DecodeError::kSizeNotSupported;
  }
  const OutputCode code = planar ? OutputCode::kPlanar420 : OutputCode::kBgr24;
  const size_t needed = OutputBytes(outputSize, code);
  if (output.size() < needed) return DecodeError::kOutputTooSmall;
  if (const DecodeResult level = SelectLevel(frame[kFrameLevelOffset]); !level) return level;

  const uint32_t dataLength = support::LoadLe32(frame, kFrameDataLengthOffset);
  const auto data = frame.subspan(kFrameHeaderSize);
  const uint32_t gammaLevel = context.gammaLevel < kGammaLevels ? context.gammaLevel : 0;
  const uint8_t* gamma = gammaLevel ? kGammaTables[gammaLevel].data() : nullptr;
  const bool whole = decode == outputSize;

  if (!planar && whole && !gamma && DriverHasLayout(decode, OutputCode::kBgr24)) {
    const DecodeResult decoded =
        engine_->Decode(data, dataLength, decode, OutputCode::kBgr24, output.data());
    if (!decoded) return decoded;
  } else {
    // Planar first; a 24-bit picture without a direct layout of its size also
    // goes this way instead of being laid out at the wrong height.
    if (!DriverHasLayout(decode, OutputCode::kPlanar420)) return DecodeError::kSizeNotSupported;
    if (planar && whole) {
      const DecodeResult decoded =
          engine_->Decode(data, dataLength, decode, OutputCode::kPlanar420, output.data());
      if (!decoded) return decoded;
      if (gamma) {
        uint8_t* luma = output.data();
        for (size_t i = 0, n = size_t{decode.width} * decode.height; i < n; ++i) luma[i] = gamma[luma[i]];
      }
    } else {
      uint8_t* work = engine_->workFrame();
      const DecodeResult decoded =
          engine_->Decode(data, dataLength, decode, OutputCode::kPlanar420, work);
      if (!decoded) return decoded;
      if (planar)
        CropPlanar(work, decode, outputSize, gamma, output.data());
      else
        CropToRgb24(work, decode, outputSize, gamma, false, output.data());
    }
  }
  bytesWritten = static_cast<uint32_t>(needed);
  return {};
}

DecodeResult DecoderTables::DecodeDirect(std::span<const uint8_t> frame, std::span<uint8_t> output,
                                         uint32_t& bytesWritten, FrameSize size, OutputCode code) {
  bytesWritten = 0;
  if (!engine_) return DecodeError::kNotSetUp;
  if (frame.size() < kFrameHeaderSize) return DecodeError::kDataEndsEarly;
  if (!DriverHasLayout(size, code)) return DecodeError::kSizeNotSupported;
  const size_t needed = OutputBytes(size, code);
  if (output.size() < needed) return DecodeError::kOutputTooSmall;
  if (const DecodeResult level = SelectLevel(frame[kFrameLevelOffset]); !level) return level;
  const uint32_t dataLength = support::LoadLe32(frame, kFrameDataLengthOffset);
  const DecodeResult decoded =
      engine_->Decode(frame.subspan(kFrameHeaderSize), dataLength, size, code, output.data());
  if (!decoded) return decoded;
  bytesWritten = static_cast<uint32_t>(needed);
  return {};
}

// ---------------------------------------------------------------------------
// Camera access library flavour

StoredFrameDecoder::StoredFrameDecoder() = default;
StoredFrameDecoder::~StoredFrameDecoder() = default;

bool StoredFrameDecoder::SetUp() {
  engine_ = DecoderEngine::Create();
  readiness_ = DecodeError::kNotSetUp;
  if (engine_) SelectQuantPair(0);
  return engine_ != nullptr;
}

void StoredFrameDecoder::Release() {
  engine_.reset();
  readiness_ = DecodeError::kNotSetUp;
}

bool StoredFrameDecoder::Prepare(FrameSize size, OutputCode code) {
  if (!engine_) {
    readiness_ = DecodeError::kNotSetUp;
  } else if (!LibraryHasLayout(size, code)) {
    readiness_ = DecodeError::kSizeNotSupported;
  } else {
    readiness_ = {};
  }
  size_ = size;
  code_ = code;
  return readiness_.ok();
}

void StoredFrameDecoder::SelectQuantPair(int pair) {
  if (engine_) engine_->SetDequant(FloatingPointMultipliers(LibraryBuiltInPair(pair)));
}

void StoredFrameDecoder::LoadQuantTable(std::span<const uint8_t, 128> table) {
  if (engine_) engine_->SetDequant(FloatingPointMultipliers(QuantPairFromBytes(table)));
}

DecodeResult StoredFrameDecoder::Decode(std::span<const uint8_t> data, uint32_t dataLength,
                                        std::span<uint8_t> output, uint32_t& bytesWritten) {
  bytesWritten = 0;
  if (!readiness_) return readiness_;
  const size_t needed = OutputBytes(size_, code_);
  if (output.size() < needed) return DecodeError::kOutputTooSmall;
  const DecodeResult decoded = engine_->Decode(data, dataLength, size_, code_, output.data());
  if (!decoded) return decoded;
  bytesWritten = static_cast<uint32_t>(needed);
  return {};
}

bool FrameDecoder::SetUp(const Request& request) {
  request_ = request;
  if (request.storedTable) {
    if (!stored_.SetUp() || !stored_.Prepare(request.size, request.code)) return false;
    stored_.SelectQuantPair(kStoredBasePair);
    stored_.LoadQuantTable(*request.storedTable);
    return true;
  }
  return live_.SetUp() && SetGammaLevel(context_, request.gamma);
}

DecodeResult FrameDecoder::Decode(std::span<const uint8_t> frame, std::vector<uint8_t>& output) {
  output.resize(PictureBytes());
  uint32_t written = 0;
  if (request_.storedTable) return stored_.Decode(frame, output, written);
  switch (request_.code) {
    case OutputCode::kPlanar420:
      return live_.DecodeFrame(context_, frame, output, written, request_.size, request_.size,
                               kCompressionI420);
    case OutputCode::kBgr24:
      return live_.DecodeFrame(context_, frame, output, written, request_.size, request_.size,
                               kCompressionRgb);
    case OutputCode::kRgb24:
      // Only the direct path writes R, G, B.
      return live_.DecodeDirect(frame, output, written, request_.size, OutputCode::kRgb24);
  }
  return DecodeError::kFormatNotSupported;
}

}  // namespace ksv::codec
