#include "codec/huffman_decoder.h"

namespace ksv::codec {

namespace {

uint32_t Entry(uint32_t consumed, HuffmanTable::Kind kind, uint32_t run, uint32_t size, int32_t value) {
  return consumed | (static_cast<uint32_t>(kind) << 6) | (run << 8) | (size << 12) |
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
        uint32_t& e = lookup_[top];
        if (endOfBlock) {
          e = Entry(static_cast<uint32_t>(length), kEndOfBlock, 0, 0, 0);
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
      lookup_[static_cast<size_t>((0xFF << free) | tail)] = Entry(9, kNeedsExtra, 0, 11, 0);
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
