#include "codec/scan_extent.h"

#include <algorithm>
#include <array>

#include "codec/annex_k.h"
#include "codec/bit_reader.h"

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

// The bare form is walked with tables made for skipping. A single entry,
// indexed by the next kSkipBits bits, steps over one code and its extra
// bits: its length plus theirs, how far it moves through the block, and
// whether it ends the block. An AC table's RunTable has run entries,
// indexed by the next kRunBits bits, which step over every code that lies
// whole in them (the first one even when its extra bits reach past them),
// up to and including an end of block: the walk's serial chain of lookups
// is what its speed is made of, and the stream download passes every
// picture through here.
class SkipTable {
 public:
  static constexpr int kSkipBits = 12;
  // Entry layout: bits 0-4 bits to skip, 5-10 positions advanced (the sum
  // of run + 1; 0 for DC), bit 11 ends the block, bit 12 a code longer than
  // kSkipBits or none at all (found by the canonical search).
  static constexpr uint32_t kEndOfBlock = 1u << 11;
  static constexpr uint32_t kLong = 1u << 12;
  static uint32_t Bits(uint32_t e) { return e & 31; }
  static uint32_t Advance(uint32_t e) { return (e >> 5) & 63; }

  SkipTable(const HuffmanSpec& spec, bool dc) : dc_(dc) {
    single_.fill(kLong);
    int32_t code = 0;
    size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
      const auto at = static_cast<size_t>(length);
      first_[at] = code;
      firstIndex_[at] = static_cast<int32_t>(index);
      count_[at] = spec.counts[at - 1];
      for (int n = 0; n < spec.counts[at - 1]; ++n, ++code, ++index) {
        if (length > kSkipBits) continue;
        const uint16_t entry = EntryOf(spec.symbols[index], length);
        const uint32_t from = static_cast<uint32_t>(code) << (kSkipBits - length);
        const uint32_t to = static_cast<uint32_t>(code + 1) << (kSkipBits - length);
        for (uint32_t x = from; x < to; ++x) single_[x] = entry;
      }
      code <<= 1;
    }
    std::copy(spec.symbols.begin(), spec.symbols.end(), symbols_.begin());
  }

  uint32_t Single(const BitReader& bits) const { return single_[bits.Peek(kSkipBits)]; }
  uint32_t SingleAt(uint32_t topBits) const { return single_[topBits]; }

  // The single entry of a code longer than kSkipBits in the next 16 bits,
  // or 0 when none of the table's codes starts there.
  uint32_t SingleLong(const BitReader& bits) const {
    const uint32_t next16 = bits.Peek(16);
    for (int length = kSkipBits + 1; length <= 16; ++length) {
      const auto at = static_cast<size_t>(length);
      const int32_t offset = static_cast<int32_t>(next16 >> (16 - length)) - first_[at];
      if (offset >= 0 && offset < count_[at]) {
        return EntryOf(symbols_[static_cast<size_t>(firstIndex_[at] + offset)], length);
      }
    }
    return 0;
  }

 private:
  uint16_t EntryOf(uint8_t symbol, int length) const {
    if (dc_) return static_cast<uint16_t>(length + (symbol & 15));
    if (symbol == 0x00) return static_cast<uint16_t>(length | kEndOfBlock);
    const int run = symbol >> 4;
    const int size = symbol & 15;
    return static_cast<uint16_t>((length + size) | (run + 1) << 5);
  }

  bool dc_;
  std::array<uint16_t, 1 << kSkipBits> single_{};
  std::array<int32_t, 17> first_{};
  std::array<int32_t, 17> count_{};
  std::array<int32_t, 17> firstIndex_{};
  std::array<uint8_t, 256> symbols_{};
};

// The run entries of an AC table (its entry layout).
class RunTable {
 public:
  static constexpr int kRunBits = 14;

  explicit RunTable(const SkipTable& single) : single_(single) {
    for (uint32_t x = 0; x < runs_.size(); ++x) runs_[x] = RunEntry(x);
  }

  uint32_t Run(const BitReader& bits) const { return runs_[bits.Peek(kRunBits)]; }

 private:
  // The codes that lie whole in the kRunBits bits `x`, from its first.
  uint16_t RunEntry(uint32_t x) const {
    uint32_t bits = 0, advance = 0;
    for (;;) {
      const uint32_t left = kRunBits - bits;
      const uint32_t window = (x << bits) & ((1u << kRunBits) - 1);
      const uint32_t e = single_.SingleAt(window >> (kRunBits - SkipTable::kSkipBits));
      // A code cut off by the window's end reads as a longer one.
      const bool whole =
          (e & SkipTable::kLong) == 0 && (bits == 0 || SkipTable::Bits(e) <= left);
      if (!whole) return bits == 0 ? SkipTable::kLong : static_cast<uint16_t>(bits | advance << 5);
      bits += SkipTable::Bits(e);
      if ((e & SkipTable::kEndOfBlock) != 0) {
        return static_cast<uint16_t>(bits | advance << 5 | SkipTable::kEndOfBlock);
      }
      advance += SkipTable::Advance(e);
      if (bits >= kRunBits) return static_cast<uint16_t>(bits | advance << 5);
    }
  }

  const SkipTable& single_;
  std::array<uint16_t, 1 << kRunBits> runs_{};
};

// Passes over one block of the bare form. False for a code in no table or
// a run past the block's end. Inlined into the walk, so that the reader's
// window stays in registers.
[[gnu::always_inline]] inline bool SkipBareBlock(BitReader& r, const SkipTable& dc,
                                                const SkipTable& ac, const RunTable& runs) {
  r.RefillIfBelow(32);
  uint32_t e = dc.Single(r);
  if ((e & SkipTable::kLong) != 0 && (e = dc.SingleLong(r)) == 0) return false;
  r.Skip(static_cast<int>(SkipTable::Bits(e)));
  uint32_t k = 1;
  for (;;) {
    r.RefillIfBelow(32);
    e = runs.Run(r);
    const uint32_t next = k + SkipTable::Advance(e);
    if ((e & (SkipTable::kLong | SkipTable::kEndOfBlock)) == 0 && next < 64) {
      r.Skip(static_cast<int>(SkipTable::Bits(e)));
      k = next;
      continue;
    }
    if ((e & SkipTable::kLong) == 0 && next < 64) {  // the run ends the block
      r.Skip(static_cast<int>(SkipTable::Bits(e)));
      return true;
    }
    // Near the block's end, or a long code: one code at a time.
    e = ac.Single(r);
    if ((e & SkipTable::kLong) != 0 && (e = ac.SingleLong(r)) == 0) return false;
    r.Skip(static_cast<int>(SkipTable::Bits(e)));
    if ((e & SkipTable::kEndOfBlock) != 0) return true;
    k += SkipTable::Advance(e);
    if (k >= 64) return k == 64;
  }
}

std::optional<size_t> BareExtent(std::span<const uint8_t> data, uint64_t macroblocks) {
  static const SkipTable luminanceDc(kLuminanceDc, true), luminanceAc(kLuminanceAc, false);
  static const SkipTable chrominanceDc(kChrominanceDc, true),
      chrominanceAc(kChrominanceAc, false);
  static const RunTable luminanceRuns(luminanceAc), chrominanceRuns(chrominanceAc);
  BitReader bits(data.data(), data.size());
  for (uint64_t m = 0; m < macroblocks; ++m) {
    for (int y = 0; y < 4; ++y) {
      if (!SkipBareBlock(bits, luminanceDc, luminanceAc, luminanceRuns)) return std::nullopt;
    }
    for (int c = 0; c < 2; ++c) {
      if (!SkipBareBlock(bits, chrominanceDc, chrominanceAc, chrominanceRuns)) return std::nullopt;
    }
    // Bits past the data read as zeros: a walk that took any of them ran
    // out (and a long run of zeros must not keep it going).
    if (bits.Position() > uint64_t{data.size()} * 8) return std::nullopt;
  }
  return static_cast<size_t>((bits.Position() + 7) / 8);
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
