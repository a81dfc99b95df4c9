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
  //
  // A complete AC entry whose window holds a second complete coefficient
  // carries that one too (a pair), so one lookup yields both: bits 0-5 then
  // count the pair, bits 32-37 the first coefficient alone, 38-41 how far
  // back from the pair's end its last read began, bit 42 marks the pair,
  // 44-47 the second coefficient's run and 48-63 its value. An entry without
  // a second coefficient has run and value zero there.
  static uint32_t Consumed(uint64_t e) { return e & 63; }
  static Kind KindOf(uint64_t e) { return static_cast<Kind>((e >> 6) & 3); }
  static bool IsComplete(uint64_t e) { return (e & (3u << 6)) == 0; }
  static uint32_t Run(uint64_t e) { return (e >> 8) & 15; }
  static uint32_t Size(uint64_t e) { return (e >> 12) & 15; }
  static int16_t Value(uint64_t e) { return static_cast<int16_t>(e >> 16); }
  static uint32_t FirstConsumed(uint64_t e) { return (e >> 32) & 63; }
  static uint32_t SecondReadBack(uint64_t e) { return (e >> 38) & 15; }
  static bool IsPair(uint64_t e) { return (e >> 42) & 1; }
  static uint32_t SecondRun(uint64_t e) { return (e >> 44) & 15; }
  static int16_t SecondValue(uint64_t e) { return static_cast<int16_t>(e >> 48); }

  // A DC table resolves every code of up to kLookupBits bits as complete,
  // with its size but not its value: bits 0-5 count the code and its extra
  // bits together, which the caller reads from the window (a DC difference
  // seldom fits the lookup, and a branch between the two kinds would be
  // mispredicted often).
  //
  // `ignoreNinthBitOfLongestDcCode`: the camera's luminance DC table knows
  // the 9-bit code of size 11 by its first eight bits alone.
  explicit HuffmanTable(const HuffmanSpec& spec, bool isDc, bool ignoreNinthBitOfLongestDcCode = false);

  uint64_t Lookup(uint32_t topBits) const { return lookup_[topBits]; }

  // Canonical search for codes longer than kLookupBits in the next 16 bits of
  // the window: returns the symbol and sets `length`, or -1 when no code
  // matches within 16 bits.
  int DecodeLong(uint32_t next16, int& length) const;

 private:
  // Joins each complete AC entry with a complete second coefficient that
  // fits in the rest of its window.
  void AddPairs();

  std::array<uint64_t, 1 << kLookupBits> lookup_{};
  std::array<int32_t, 17> firstCode_{};   // by length; -1: none
  std::array<int32_t, 17> count_{};
  std::array<int32_t, 17> firstIndex_{};  // index into symbols_ of the first code of each length
  std::array<uint8_t, 256> symbols_{};
};

// Sign extension of an n-bit magnitude (the JPEG EXTEND rule). Without a
// branch: the sign of a coefficient is as good as random, so a branch on it
// is mispredicted half the time.
// Size 0 gives 0.
inline int32_t Extend(uint32_t bits, uint32_t size) {
  const int32_t v = static_cast<int32_t>(bits);
  const int32_t half = static_cast<int32_t>((1u << size) >> 1);
  const int32_t negative = (v - half) >> 31;  // all ones below half the range
  return v + (negative & static_cast<int32_t>(1u - (1u << size)));
}

}  // namespace ksv::codec
