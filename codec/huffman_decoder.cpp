#include "codec/huffman_decoder.h"

namespace ksv::codec {

namespace {

uint64_t Entry(uint32_t consumed, HuffmanTable::Kind kind, uint32_t run, uint32_t size, int32_t value) {
  return uint64_t{consumed} << 32 | consumed | (static_cast<uint32_t>(kind) << 6) | (run << 8) | (size << 12) |
         (static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(value))) << 16);
}

}  // namespace

HuffmanTable::HuffmanTable(const HuffmanSpec& spec, bool isDc, bool ignoreNinthBitOfLongestDcCode) {
  constexpr int kBits = kLookupBits;
  lookup_.fill(Entry(0, kLongCode, 0, 0, 0));

  int32_t code = 0;
  int32_t index = 0;
  for (int length = 1; length <= 16; ++length) {
    int32_t n = spec.counts[static_cast<size_t>(length - 1)];
    count_[static_cast<size_t>(length)] = n;
    firstCode_[static_cast<size_t>(length)] = n ? code : -1;
    firstIndex_[static_cast<size_t>(length)] = index;
    for (int32_t i = 0; i < n; ++i, ++code, ++index) {
      uint8_t symbol = spec.symbols[static_cast<size_t>(index)];
      symbols_[static_cast<size_t>(index)] = symbol;
      if (length > kBits) continue;
      uint32_t run = isDc ? 0 : symbol >> 4;
      uint32_t size = isDc ? symbol : symbol & 15;
      bool endOfBlock = !isDc && symbol == 0x00;
      // Every window whose top `length` bits are this code.
      int free = kBits - length;
      for (int32_t tail = 0; tail < (1 << free); ++tail) {
        uint32_t top = static_cast<uint32_t>((code << free) | tail);
        uint64_t& e = lookup_[top];
        if (endOfBlock) {
          e = Entry(static_cast<uint32_t>(length), kEndOfBlock, 0, 0, 0);
        } else if (isDc) {
          e = Entry(static_cast<uint32_t>(length) + size, kComplete, 0, size, 0);
        } else if (static_cast<int>(size) <= free) {
          uint32_t extra = static_cast<uint32_t>(tail) >> (free - static_cast<int>(size));
          e = Entry(static_cast<uint32_t>(length) + size, kComplete, run, size, Extend(extra, size));
        } else {
          e = Entry(static_cast<uint32_t>(length), kNeedsExtra, run, size, 0);
        }
      }
    }
    code <<= 1;
  }

  if (ignoreNinthBitOfLongestDcCode) {
    // 11111111x is size 11 whatever the ninth bit says.
    static_assert(kBits >= 9);
    int free = kBits - 8;
    for (int32_t tail = 0; tail < (1 << free); ++tail)
      lookup_[static_cast<size_t>((0xFF << free) | tail)] = Entry(9 + 11, kComplete, 0, 11, 0);
  }
  if (!isDc) AddPairs();
}

void HuffmanTable::AddPairs() {
  constexpr uint32_t kMask = (1u << kLookupBits) - 1;
  const auto singles = lookup_;
  for (uint32_t top = 0; top <= kMask; ++top) {
    const uint64_t first = singles[top];
    if (!IsComplete(first)) continue;
    const uint32_t consumed = Consumed(first);
    // The window's bits after the first coefficient, of which the top
    // kLookupBits - consumed are known.
    const uint64_t second = singles[(top << consumed) & kMask];
    const uint32_t secondConsumed = Consumed(second);
    if (!IsComplete(second) || consumed + secondConsumed > kLookupBits) continue;
    const uint32_t size = Size(second);
    const uint32_t readBack = size ? size : secondConsumed;
    lookup_[top] = (first & ~uint64_t{63}) | (consumed + secondConsumed) | uint64_t{readBack} << 38 |
                   uint64_t{1} << 42 | uint64_t{Run(second)} << 44 |
                   uint64_t{static_cast<uint16_t>(Value(second))} << 48;
  }
}

int HuffmanTable::DecodeLong(uint32_t window, int& codeLength) const {
  for (int length = kLookupBits + 1; length <= 16; ++length) {
    int32_t first = firstCode_[static_cast<size_t>(length)];
    if (first < 0) continue;
    int32_t offset = static_cast<int32_t>(window >> (16 - length)) - first;
    if (offset >= 0 && offset < count_[static_cast<size_t>(length)]) {
      codeLength = length;
      return symbols_[static_cast<size_t>(firstIndex_[static_cast<size_t>(length)] + offset)];
    }
  }
  return -1;
}

}  // namespace ksv::codec
