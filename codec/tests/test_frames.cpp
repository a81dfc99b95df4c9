#include "test_frames.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/byte_order.h"
#include "support/test_data.h"

namespace ksv::codec::testing {

namespace {

int MagnitudeSize(int value) {
  int size = 0;
  for (int v = value < 0 ? -value : value; v; v >>= 1) ++size;
  return size;
}

}  // namespace

SymbolWriter::SymbolWriter()
    : writer_(bytes_),
      lumaDc_(CanonicalCodes(kLuminanceDc)),
      chromaDc_(CanonicalCodes(kChrominanceDc)),
      lumaAc_(CanonicalCodes(kLuminanceAc)),
      chromaAc_(CanonicalCodes(kChrominanceAc)) {}

void SymbolWriter::PutCode(const HuffmanCode& code) {
  if (code.length == 0) throw std::logic_error("symbol has no code");
  writer_.Put(code.code, code.length);
}

void SymbolWriter::PutMagnitude(int value, int size) {
  if (size == 0) return;
  uint32_t bits = value < 0 ? static_cast<uint32_t>(value + (1 << size) - 1) : static_cast<uint32_t>(value);
  writer_.Put(bits, static_cast<unsigned>(size));
}

void SymbolWriter::Dc(bool luma, int difference) {
  int size = MagnitudeSize(difference);
  PutCode((luma ? lumaDc_ : chromaDc_)[static_cast<size_t>(size)]);
  PutMagnitude(difference, size);
}

void SymbolWriter::Ac(bool luma, int run, int value) {
  int size = MagnitudeSize(value);
  PutCode((luma ? lumaAc_ : chromaAc_)[static_cast<size_t>(run << 4 | size)]);
  PutMagnitude(value, size);
}

void SymbolWriter::EndOfBlock(bool luma) { PutCode((luma ? lumaAc_ : chromaAc_)[0]); }

void SymbolWriter::FlatBlock(bool luma) {
  Dc(luma, 0);
  EndOfBlock(luma);
}

void SymbolWriter::FlatMacroblock() {
  for (int b = 0; b < 6; ++b) FlatBlock(b < 4);
}

std::vector<uint8_t> SymbolWriter::Finish() {
  writer_.PadWithOnes();
  return bytes_;
}

std::vector<uint8_t> WithHeader(const std::vector<uint8_t>& entropy, uint8_t level, int64_t dataLength) {
  std::vector<uint8_t> frame(kFrameHeaderSize + entropy.size(), 0);
  frame[kFrameLevelOffset] = level;
  uint32_t length = dataLength < 0 ? static_cast<uint32_t>(entropy.size()) : static_cast<uint32_t>(dataLength);
  support::StoreLe32(frame, kFrameDataLengthOffset, length);
  std::copy(entropy.begin(), entropy.end(), frame.begin() + kFrameHeaderSize);
  return frame;
}

std::vector<uint8_t> FlatFrame(uint32_t macroblocks, uint8_t level) {
  SymbolWriter w;
  for (uint32_t i = 0; i < macroblocks; ++i) w.FlatMacroblock();
  return WithHeader(w.Finish(), level);
}

std::string TestDataPath(const std::string& relative) {
  return support::TestDataPath(relative).string();
}

}  // namespace ksv::codec::testing
