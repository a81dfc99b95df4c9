#include "codec/scan_extent.h"

#include <array>

#include "codec/annex_k.h"
#include "codec/bit_reader.h"
#include "codec/huffman_decoder.h"

namespace ksv::codec {

namespace {

// Reads the scan's bits, most significant first, through the stuffing.
class ScanBitReader {
 public:
  ScanBitReader(std::span<const uint8_t> data, ScanBytes layout) : data_(data), layout_(layout) {}

  // False once a bit past the data's end was asked for.
  bool Take(int n, uint32_t& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
      if (bitsLeft_ == 0 && !Load()) return false;
      --bitsLeft_;
      value = value << 1 | ((current_ >> bitsLeft_) & 1u);
    }
    return true;
  }

  // Bytes of the data up to the end of the byte holding the last bit taken.
  size_t BytesTaken() const { return next_; }

 private:
  bool Load() {
    if (next_ >= data_.size()) return false;
    const uint8_t byte = data_[next_];
    if (layout_ == ScanBytes::kStuffed && byte == 0xFF) {
      if (next_ + 1 >= data_.size() || data_[next_ + 1] != 0x00) return false;  // a marker
      next_ += 2;
    } else {
      next_ += 1;
    }
    current_ = byte;
    bitsLeft_ = 8;
    return true;
  }

  std::span<const uint8_t> data_;
  ScanBytes layout_;
  size_t next_ = 0;
  uint32_t current_ = 0;
  int bitsLeft_ = 0;
};

// Canonical decoding of one table, code bit by code bit (T.81 F.2.2.3).
class CodeWalker {
 public:
  explicit CodeWalker(const HuffmanSpec& spec) : spec_(spec), first_(FirstCodes(spec)) {
    int index = 0;
    for (int length = 0; length < 16; ++length) {
      firstIndex_[length] = index;
      index += spec.counts[length];
    }
  }

  // The next symbol, or -1 when the data ends or holds no code of the table.
  int Next(ScanBitReader& bits) const {
    int32_t code = 0;
    for (int length = 0; length < 16; ++length) {
      uint32_t bit = 0;
      if (!bits.Take(1, bit)) return -1;
      code = code << 1 | static_cast<int32_t>(bit);
      const int32_t offset = code - first_[length];
      if (first_[length] >= 0 && offset >= 0 && offset < spec_.counts[length]) {
        return spec_.symbols[static_cast<size_t>(firstIndex_[length] + offset)];
      }
    }
    return -1;
  }

 private:
  const HuffmanSpec& spec_;
  std::array<int32_t, 16> first_;
  std::array<int32_t, 16> firstIndex_{};
};

// Passes over one block's codes and extra bits.
bool SkipBlock(ScanBitReader& bits, const CodeWalker& dc, const CodeWalker& ac) {
  uint32_t extra = 0;
  const int size = dc.Next(bits);
  if (size < 0 || size > 11 || !bits.Take(size, extra)) return false;
  for (int k = 1; k < 64;) {
    const int symbol = ac.Next(bits);
    if (symbol < 0) return false;
    const int run = symbol >> 4;
    const int bitsOfValue = symbol & 15;
    if (bitsOfValue == 0) {
      if (run != 15) return true;  // end of block
      k += 16;
    } else {
      k += run;
      if (k > 63 || !bits.Take(bitsOfValue, extra)) return false;
      ++k;
    }
  }
  return true;
}

// The bare form, walked as the decoder walks it (table lookups on a 64-bit
// window): the stream download passes every picture through here. False
// for a code in no table or a run past the block's end.
bool SkipBareBlock(BitReader& r, const HuffmanTable& dc, const HuffmanTable& ac) {
  r.RefillIfBelow(32);
  uint32_t e = dc.Lookup(r.Peek(HuffmanTable::kLookupBits));
  if (HuffmanTable::KindOf(e) == HuffmanTable::kComplete) {
    r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
  } else {
    uint32_t size;
    if (HuffmanTable::KindOf(e) == HuffmanTable::kNeedsExtra) {
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      size = HuffmanTable::Size(e);
    } else {
      int length = 0;
      const int symbol = dc.DecodeLong(r.Peek(16), length);
      if (symbol < 0) return false;
      r.Skip(length);
      size = static_cast<uint32_t>(symbol);
    }
    r.Skip(static_cast<int>(size));
  }
  for (int k = 1; k < 64;) {
    r.RefillIfBelow(32);
    e = ac.Lookup(r.Peek(HuffmanTable::kLookupBits));
    if (HuffmanTable::IsComplete(e)) {
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      k += static_cast<int>(HuffmanTable::Run(e)) + 1;
      continue;
    }
    const HuffmanTable::Kind kind = HuffmanTable::KindOf(e);
    if (kind == HuffmanTable::kEndOfBlock) {
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      return true;
    }
    uint32_t run, size;
    if (kind == HuffmanTable::kNeedsExtra) {
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      run = HuffmanTable::Run(e);
      size = HuffmanTable::Size(e);
    } else {
      int length = 0;
      const int symbol = ac.DecodeLong(r.Peek(16), length);
      if (symbol < 0) return false;
      r.Skip(length);
      if (symbol == 0) return true;  // end of block
      run = static_cast<uint32_t>(symbol) >> 4;
      size = static_cast<uint32_t>(symbol) & 15;
    }
    r.Skip(static_cast<int>(size));
    k += static_cast<int>(run) + 1;
    if (k > 64) return false;
  }
  return true;
}

std::optional<size_t> BareExtent(std::span<const uint8_t> data, uint64_t macroblocks) {
  static const HuffmanTable luminanceDc(kLuminanceDc, true), luminanceAc(kLuminanceAc, false);
  static const HuffmanTable chrominanceDc(kChrominanceDc, true),
      chrominanceAc(kChrominanceAc, false);
  BitReader bits(data.data(), data.size());
  for (uint64_t m = 0; m < macroblocks; ++m) {
    for (int y = 0; y < 4; ++y) {
      if (!SkipBareBlock(bits, luminanceDc, luminanceAc)) return std::nullopt;
    }
    for (int c = 0; c < 2; ++c) {
      if (!SkipBareBlock(bits, chrominanceDc, chrominanceAc)) return std::nullopt;
    }
  }
  // Bits past the data read as zeros: a walk that took any of them ran out.
  const uint64_t used = bits.Position();
  if (used > uint64_t{data.size()} * 8) return std::nullopt;
  return static_cast<size_t>((used + 7) / 8);
}

}  // namespace

std::optional<size_t> ScanExtent(std::span<const uint8_t> data, uint32_t width, uint32_t height,
                                 ScanBytes layout) {
  if (width == 0 || height == 0) return std::nullopt;
  const uint64_t macroblocks = uint64_t{(width + 15) / 16} * ((height + 15) / 16);
  if (layout == ScanBytes::kBare) return BareExtent(data, macroblocks);
  const CodeWalker luminanceDc(kLuminanceDc), luminanceAc(kLuminanceAc);
  const CodeWalker chrominanceDc(kChrominanceDc), chrominanceAc(kChrominanceAc);
  ScanBitReader bits(data, layout);
  for (uint64_t m = 0; m < macroblocks; ++m) {
    for (int y = 0; y < 4; ++y) {
      if (!SkipBlock(bits, luminanceDc, luminanceAc)) return std::nullopt;
    }
    for (int c = 0; c < 2; ++c) {
      if (!SkipBlock(bits, chrominanceDc, chrominanceAc)) return std::nullopt;
    }
  }
  return bits.BytesTaken();
}

}  // namespace ksv::codec
