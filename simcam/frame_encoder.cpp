#include "simcam/frame_encoder.h"

#include <stdexcept>
#include <string>

#include "codec/annex_k.h"
#include "codec/frame_format.h"
#include "simcam/bit_writer.h"
#include "simcam/block_coder.h"
#include "simcam/forward_dct.h"
#include "support/byte_order.h"

namespace ksv::simcam {

namespace {

void CheckPicture(const picture::PlanarPicture& picture) {
  if (picture.width == 0 || picture.height == 0 || picture.width % 16 != 0 ||
      picture.height % 16 != 0) {
    throw std::invalid_argument("frame size must be a non-zero multiple of 16, got " +
                                std::to_string(picture.width) + "x" +
                                std::to_string(picture.height));
  }
  if (picture.samples.size() != codec::PlanarBytes({picture.width, picture.height})) {
    throw std::invalid_argument("planar picture holds the wrong number of samples");
  }
}

// One plane's coding state: where its samples are, how they are quantised and
// coded, and the DC predictor that runs through the whole frame.
struct ComponentCoder {
  const uint8_t* plane;
  size_t stride;
  const BlockQuantiser& quantiser;
  const BlockEntropyCoder& coder;
  int predictor = 0;
};

// Appends the entropy data of `picture` to `out`.
void AppendEntropyData(const picture::PlanarPicture& picture, const codec::QuantPair& tables,
                       std::vector<uint8_t>& out) {
  CheckPicture(picture);
  const BlockQuantiser lumaQuantiser(tables.luminance);
  const BlockQuantiser chromaQuantiser(tables.chrominance);
  const BlockEntropyCoder lumaCoder(codec::kLuminanceDc, codec::kLuminanceAc);
  const BlockEntropyCoder chromaCoder(codec::kChrominanceDc, codec::kChrominanceAc);

  const size_t width = picture.width;
  const size_t lumaBytes = width * picture.height;
  const uint8_t* y = picture.samples.data();
  const uint8_t* cb = y + lumaBytes;
  const uint8_t* cr = cb + lumaBytes / 4;
  ComponentCoder luma{y, width, lumaQuantiser, lumaCoder};
  ComponentCoder blue{cb, width / 2, chromaQuantiser, chromaCoder};
  ComponentCoder red{cr, width / 2, chromaQuantiser, chromaCoder};

  // A frame compresses to well under a byte per pixel at every level.
  out.reserve(out.size() + lumaBytes / 2);
  BitWriter bits(out);
  DctBlock coefficients;
  ZigZagBlock quantised;
  auto codeBlock = [&](ComponentCoder& component, size_t x, size_t y0) {
    ForwardDct(component.plane + y0 * component.stride + x, component.stride, coefficients);
    component.quantiser.Quantise(coefficients, quantised);
    component.coder.Encode(quantised, component.predictor, bits);
  };
  for (size_t top = 0; top < picture.height; top += 16) {
    for (size_t left = 0; left < width; left += 16) {
      codeBlock(luma, left, top);
      codeBlock(luma, left + 8, top);
      codeBlock(luma, left, top + 8);
      codeBlock(luma, left + 8, top + 8);
      codeBlock(blue, left / 2, top / 2);
      codeBlock(red, left / 2, top / 2);
    }
  }
  bits.PadWithOnes();
}

}  // namespace

std::vector<uint8_t> EncodeEntropyData(const picture::PlanarPicture& picture,
                                       const codec::QuantPair& tables) {
  std::vector<uint8_t> data;
  AppendEntropyData(picture, tables, data);
  return data;
}

std::vector<uint8_t> EncodeFrame(const picture::PlanarPicture& picture, int level) {
  if (level < 0 || level >= codec::kCompressionLevels) {
    throw std::invalid_argument("compression level must be 0..3, got " + std::to_string(level));
  }
  std::vector<uint8_t> frame(codec::kFrameHeaderSize, 0);
  frame[codec::kFrameLevelOffset] = static_cast<uint8_t>(level);
  AppendEntropyData(picture, codec::DriverLevelPair(level), frame);
  const auto dataLength = static_cast<uint32_t>(frame.size() - codec::kFrameHeaderSize);
  support::StoreLe32(frame, codec::kFrameDataLengthOffset, dataLength);
  return frame;
}

std::vector<uint8_t> EncodeStoredFrame(const picture::PlanarPicture& picture,
                                       const codec::QuantPair& tables) {
  return EncodeEntropyData(picture, tables);
}

}  // namespace ksv::simcam
