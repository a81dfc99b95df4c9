// Huffman decoding of the four Annex K tables.
//
// Each table is resolved by a direct lookup on the top kLookupBits bits of the
// bit window; for the common short codes the entry also carries the
// coefficient's extra bits already sign-extended, so one lookup yields a whole
// coefficient. The rare long codes are found by comparing with the first
// canonical code of each length.
#pragma once

#include <array>
#include <cstdint>

#include "codec/annex_k.h"

namespace ksv::codec {

class HuffmanTable {
 public:
  static constexpr int kLookupBits = 10;

  enum Kind : uint32_t {
    kComplete = 0,   // code and extra bits resolved: value and run are valid
    kEndOfBlock = 1,
    kNeedsExtra = 2, // code resolved; `size` extra bits follow
    kLongCode = 3,   // longer than kLookupBits: canonical search
  };

  // Entry layout: bits 0-5 bits to consume, 6-7 kind, 8-11 run, 12-15 size,
  // 16-31 value (signed). The count to consume fills the low six bits alone,
  // so a 64-bit shift by the entry takes it as it is (the processor's shift
  // masks its count to six bits): one step less between a lookup and the
  // next.
  static uint32_t Consumed(uint32_t e) { return e & 63; }
  static Kind KindOf(uint32_t e) { return static_cast<Kind>((e >> 6) & 3); }
  static bool IsComplete(uint32_t e) { return (e & (3u << 6)) == 0; }
  static uint32_t Run(uint32_t e) { return (e >> 8) & 15; }
  static uint32_t Size(uint32_t e) { return (e >> 12) & 15; }
  static int16_t Value(uint32_t e) { return static_cast<int16_t>(e >> 16); }

  // `ignoreNinthBitOfLongestDcCode`: the camera's luminance DC table knows
  // the 9-bit code of size 11 by its first eight bits alone.
  explicit HuffmanTable(const HuffmanSpec& spec, bool isDc, bool ignoreNinthBitOfLongestDcCode = false);

  uint32_t Lookup(uint32_t topBits) const { return lookup_[topBits]; }

  // Canonical search for codes longer than kLookupBits in the next 16 bits of
  // the window: returns the symbol and sets `length`, or -1 when no code
  // matches within 16 bits.
  int DecodeLong(uint32_t next16, int& length) const;

 private:
  std::array<uint32_t, 1 << kLookupBits> lookup_{};
  std::array<int32_t, 17> firstCode_{};   // by length; -1: none
  std::array<int32_t, 17> count_{};
  std::array<int32_t, 17> firstIndex_{};  // index into symbols_ of the first code of each length
  std::array<uint8_t, 256> symbols_{};
};

// Sign extension of an n-bit magnitude (the JPEG EXTEND rule).
inline int32_t Extend(uint32_t bits, uint32_t size) {
  if (size == 0) return 0;
  int32_t v = static_cast<int32_t>(bits);
  return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

}  // namespace ksv::codec
