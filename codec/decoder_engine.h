// The engine both decoder flavours share: entropy decoding of the 4:2:0
// macroblocks, dequantisation, inverse transform and the store into a planar
// or 24-bit picture. Internal to the codec.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "codec/decode_result.h"
#include "codec/frame_format.h"
#include "codec/huffman_decoder.h"
#include "codec/quant_tables.h"

namespace ksv::codec {

// The first bit position at which a read fails the frame: the reader fetches
// four bytes and then two at a time, and a read fails once the bytes fetched
// reach `dataLength` + 4 (32-bit arithmetic, as the camera's driver has it).
uint64_t FirstFailingBit(uint32_t dataLength);

class DecoderEngine {
 public:
  // The planar work frame holds the largest planar picture (640 x 480).
  static constexpr size_t kWorkFrameBytes = 640 * 480 * 3 / 2;

  // Null when the work frame cannot be allocated.
  static std::unique_ptr<DecoderEngine> Create();

  void SetDequant(const DequantTables& tables) { dequant_ = tables; }

  // Decodes the entropy data in `data` (every byte that may be read) into
  // `out`, which holds OutputBytes(size, code). The picture is
  // width/16 x ceil(height/16) macroblocks; a 24-bit picture keeps its top
  // `height` rows. Planar pictures need a height that is a multiple of 16.
  DecodeResult Decode(std::span<const uint8_t> data, uint32_t dataLength, FrameSize size, OutputCode code,
              uint8_t* out);

  uint8_t* workFrame() { return work_.get(); }

 private:
  DecoderEngine();

  template <bool kPlanar>
  DecodeResult DecodeScan(std::span<const uint8_t> data, uint32_t dataLength, FrameSize size, OutputCode code,
                  uint8_t* out);

  HuffmanTable lumaDc_;
  HuffmanTable chromaDc_;
  HuffmanTable lumaAc_;
  HuffmanTable chromaAc_;
  DequantTables dequant_{};
  // A pair of blocks, each with a spare slot after its 64 coefficients that
  // takes the stores of a run past the block's end (kZigZag maps there).
  alignas(16) int16_t coefficients_[2][72];
  // One macroblock row of a 24-bit picture, decoded before its conversion.
  static constexpr uint32_t kMaxWidth = 1024;
  alignas(16) uint8_t stripY_[16 * kMaxWidth];
  alignas(16) uint8_t stripCb_[8 * kMaxWidth / 2];
  alignas(16) uint8_t stripCr_[8 * kMaxWidth / 2];
  std::unique_ptr<uint8_t[]> work_;
};

}  // namespace ksv::codec
