// Hand-made compressed frames for the decoder's tests.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "codec/annex_k.h"
#include "codec/decode_result.h"
#include "codec/frame_format.h"
#include "simcam/bit_writer.h"
#include "testing/temp_files.h"

namespace ksv::codec {

// Prints a decoding error by its text in test failures.
inline void PrintTo(DecodeError error, std::ostream* out) { *out << DecodeErrorText(error); }

}  // namespace ksv::codec

namespace ksv::codec::testing {

// The cause of a failed decode, or nothing for one that succeeded.
inline std::optional<DecodeError> FailureOf(const DecodeResult& result) {
  if (result) return std::nullopt;
  return result.error();
}

// Writes entropy data symbol by symbol with the Annex K codes.
class SymbolWriter {
 public:
  SymbolWriter();
  void Dc(bool luma, int difference);
  // (run, value) with value != 0, or ZRL when value == 0 and run == 15.
  void Ac(bool luma, int run, int value);
  void EndOfBlock(bool luma);
  // A block with DC difference 0 and no AC coefficients.
  void FlatBlock(bool luma);
  void FlatMacroblock();
  // Pads the last byte with ones and returns the entropy data.
  std::vector<uint8_t> Finish();

 private:
  void PutCode(const HuffmanCode& code);
  void PutMagnitude(int value, int size);

  std::vector<uint8_t> bytes_;
  simcam::BitWriter writer_;
  std::array<HuffmanCode, 256> lumaDc_, chromaDc_, lumaAc_, chromaAc_;
};

// Puts the 15-byte header (level, DataLength = entropy size unless given) in
// front of the entropy data.
std::vector<uint8_t> WithHeader(const std::vector<uint8_t>& entropy, uint8_t level,
                                int64_t dataLength = -1);

// A frame of `macroblocks` flat macroblocks (every sample 128).
std::vector<uint8_t> FlatFrame(uint32_t macroblocks, uint8_t level = 3);

// Files of the shared test data (frames, references, photos).
std::string TestDataPath(const std::string& relative);
using ::ksv::testing::ReadFile;  // throws std::runtime_error

}  // namespace ksv::codec::testing
