#include "codec/decoder_engine.h"

#include <cstring>
#include <new>

#include "codec/bit_reader.h"
#include "codec/colour_convert.h"
#include "codec/inverse_transform.h"

namespace ksv::codec {

uint64_t FirstFailingBit(uint32_t dataLength) {
  uint32_t bound = dataLength + 4u;  // wraps, as in the driver's 32-bit arithmetic
  if (bound <= 4) return 0;          // the first four bytes already reach it
  // After consuming b bits the reader has fetched 4 + 2 x ceil((b - 16) / 16)
  // bytes (b > 16), so a read starting at b fails once that reaches `bound`.
  uint64_t refills = (uint64_t{bound} - 4 + 1) / 2;
  return 16 * refills + 1;
}

namespace {

using Kind = HuffmanTable::Kind;

// Decodes one block's coefficients into `block`, which the inverse transform
// left cleared. Returns the
// index after the last coefficient (1 for a block with DC alone, 64 for a full
// block), or -1 when a code is invalid or the run overruns the block.
// `lastReadStart` receives the bit position where the block's last read began.
// Always inlined into the scan, whose reader never leaves it: the window
// stays in registers from block to block.
[[gnu::always_inline]] inline int DecodeBlock(BitReader& r, const HuffmanTable& dc, const HuffmanTable& ac,
                                              int16_t& predictor, int16_t* block, uint64_t& lastReadStart) {

  r.RefillIfBelow(32);
  uint64_t e = dc.Lookup(r.Peek(HuffmanTable::kLookupBits));
  int32_t difference;
  if (HuffmanTable::IsComplete(e)) {
    const uint32_t size = HuffmanTable::Size(e);
    const uint32_t bits = r.Peek(static_cast<int>(HuffmanTable::Consumed(e))) & ((1u << size) - 1);
    r.SkipField(static_cast<uint32_t>(e));
    difference = Extend(bits, size);
  } else {
    int length = 0;
    int symbol = dc.DecodeLong(r.Peek(16), length);
    if (symbol < 0) return -1;
    r.Skip(length);
    const uint32_t size = static_cast<uint32_t>(symbol);
    difference = size ? Extend(r.Take(static_cast<int>(size)), size) : 0;
  }
  predictor = static_cast<int16_t>(predictor + difference);
  block[0] = predictor;

  int k = 1;
  // Takes a complete entry's coefficient or pair; true when the block ends.
  const auto takeComplete = [&](uint64_t entry) __attribute__((always_inline)) {
    const BitReader before = r;
    r.SkipField(static_cast<uint32_t>(entry));
    k += static_cast<int>(HuffmanTable::Run(entry));
    block[kZigZag[static_cast<size_t>(k)]] = HuffmanTable::Value(entry);
    // Without a second coefficient (run zero) this stores zero where
    // nothing has been stored yet, and k stays: no branch on the pair.
    // Past the block's end it stores into the spare slot, so one test
    // after both serves the two.
    const int first = k + 1;
    const int second = first + static_cast<int>(HuffmanTable::SecondRun(entry));
    block[kZigZag[static_cast<size_t>(second)]] = HuffmanTable::SecondValue(entry);
    k = second + static_cast<int>(HuffmanTable::IsPair(entry));
    if (k < 64) return false;
    if (first < 64) {
      lastReadStart = r.Position() - HuffmanTable::SecondReadBack(entry);
      return true;
    }
    // The block ends at its first coefficient: a second one in the
    // window belongs to the next block.
    r = before;
    r.Skip(static_cast<int>(HuffmanTable::FirstConsumed(entry)));
    uint32_t size = HuffmanTable::Size(entry);
    lastReadStart = r.Position() - (size ? size : HuffmanTable::FirstConsumed(entry));
    k = first;
    return true;
  };
  for (;;) {
    r.RefillIfBelow(32);
    e = ac.Lookup(r.Peek(HuffmanTable::kLookupBits));
    if (HuffmanTable::IsComplete(e)) {
      if (takeComplete(e)) break;
      // A complete entry takes at most kLookupBits of the 32: the next
      // lookup needs no refill, and only the longer paths below do.
      e = ac.Lookup(r.Peek(HuffmanTable::kLookupBits));
      if (HuffmanTable::IsComplete(e)) {
        if (takeComplete(e)) break;
        continue;
      }
      r.RefillIfBelow(32);
    }
    Kind kind = HuffmanTable::KindOf(e);
    if (kind == HuffmanTable::kEndOfBlock) {
      lastReadStart = r.Position();
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      break;
    }
    uint64_t symbolStart = r.Position();
    uint32_t run, size;
    if (kind == HuffmanTable::kNeedsExtra) {
      r.Skip(static_cast<int>(HuffmanTable::Consumed(e)));
      run = HuffmanTable::Run(e);
      size = HuffmanTable::Size(e);
    } else {
      int length = 0;
      int symbol = ac.DecodeLong(r.Peek(16), length);
      if (symbol < 0) return -1;
      r.Skip(length);
      if (symbol == 0) {  // end of block (never this long in the camera's tables)
        lastReadStart = symbolStart;
        break;
      }
      run = static_cast<uint32_t>(symbol) >> 4;
      size = static_cast<uint32_t>(symbol) & 15;
    }
    uint64_t extraStart = r.Position();
    int32_t value = size ? Extend(r.Take(static_cast<int>(size)), size) : 0;
    k += static_cast<int>(run);
    block[kZigZag[static_cast<size_t>(k)]] = static_cast<int16_t>(value);
    if (++k >= 64) {
      lastReadStart = size ? extraStart : symbolStart;
      break;
    }
  }
  return k > 64 ? -1 : k;
}

inline void FillBlock(uint8_t* out, ptrdiff_t stride, uint8_t value) {
  for (int row = 0; row < 8; ++row) std::memset(out + row * stride, value, 8);
}

}  // namespace

DecoderEngine::DecoderEngine()
    : lumaDc_(kLuminanceDc, true, true),
      chromaDc_(kChrominanceDc, true),
      lumaAc_(kLuminanceAc, false),
      chromaAc_(kChrominanceAc, false) {}

std::unique_ptr<DecoderEngine> DecoderEngine::Create() {
  std::unique_ptr<DecoderEngine> engine(new (std::nothrow) DecoderEngine());
  if (!engine) return nullptr;
  engine->work_.reset(new (std::nothrow) uint8_t[kWorkFrameBytes]);
  if (!engine->work_) return nullptr;
  return engine;
}

DecodeResult DecoderEngine::Decode(std::span<const uint8_t> data, uint32_t dataLength,
                                   FrameSize size, OutputCode code, uint8_t* out) {
  if (size.width == 0 || size.width % 16 || size.width > kMaxWidth || size.height == 0) {
    return DecodeError::kSizeNotSupported;
  }
  if (code == OutputCode::kPlanar420) {
    if (size.height % 16) return DecodeError::kSizeNotSupported;
    return DecodeScan<true>(data, dataLength, size, code, out);
  }
  return DecodeScan<false>(data, dataLength, size, code, out);
}

template <bool kPlanar>
DecodeResult DecoderEngine::DecodeScan(std::span<const uint8_t> data, uint32_t dataLength,
                                       FrameSize size, OutputCode code, uint8_t* out) {
  const uint64_t firstFailingBit = FirstFailingBit(dataLength);
  const uint64_t availableBits = uint64_t{data.size()} * 8;
  const uint32_t mbColumns = size.width / 16;
  const uint32_t mbRows = (size.height + 15) / 16;
  const ptrdiff_t width = size.width;
  const bool rgbOrder = code == OutputCode::kRgb24;

  std::memset(coefficients_, 0, sizeof coefficients_);
  BitReader reader(data.data(), data.size());
  int16_t predictors[3] = {0, 0, 0};
  uint64_t lastReadStart = 0;

  for (uint32_t mby = 0; mby < mbRows; ++mby) {
    for (uint32_t mbx = 0; mbx < mbColumns; ++mbx) {
      // The blocks in pairs (the two upper luma blocks, the two lower, Cb
      // and Cr): each pair shares its multipliers and its stride, so both
      // can go through the transform at once.
      for (int b = 0; b < 6; b += 2) {
        const bool luma = b < 4;
        const HuffmanTable& dc = luma ? lumaDc_ : chromaDc_;
        const HuffmanTable& ac = luma ? lumaAc_ : chromaAc_;
        int16_t* first = coefficients_[0];
        int16_t* second = coefficients_[1];
        const int firstEnd = DecodeBlock(reader, dc, ac, predictors[luma ? 0 : 1], first, lastReadStart);
        if (firstEnd < 0) return DecodeError::kCorruptEntropyData;
        const int secondEnd = DecodeBlock(reader, dc, ac, predictors[luma ? 0 : 2], second, lastReadStart);

        uint8_t* firstOut;
        uint8_t* secondOut;
        ptrdiff_t stride;
        if constexpr (kPlanar) {
          if (luma) {
            stride = width;
            firstOut = out + (ptrdiff_t{mby} * 16 + (b >> 1) * 8) * width + mbx * 16;
            secondOut = firstOut + 8;
          } else {
            stride = width / 2;
            firstOut = out + width * size.height + ptrdiff_t{mby} * 8 * stride + mbx * 8;
            secondOut = firstOut + width * size.height / 4;
          }
        } else {
          if (luma) {
            stride = width;
            firstOut = stripY_ + (b >> 1) * 8 * width + mbx * 16;
            secondOut = firstOut + 8;
          } else {
            stride = width / 2;
            firstOut = stripCb_ + mbx * 8;
            secondOut = stripCr_ + mbx * 8;
          }
        }
        const Multipliers& m = luma ? dequant_.luminance : dequant_.chrominance;
        if (firstEnd > 1 && secondEnd > 1 && InverseTransformPair != nullptr) {
          InverseTransformPair(first, second, m.data(), firstOut, secondOut, stride);
          continue;
        }
        const auto transform = [&](int16_t* block, int end, uint8_t* dest) {
          if (end == 1) {
            FillBlock(dest, stride, DcOnlySample(block[0], m[0]));
            block[0] = 0;
          } else {
            InverseTransform(block, m.data(), dest, stride);
          }
        };
        // A corrupt second block leaves the picture as a block at a time would.
        transform(first, firstEnd, firstOut);
        if (secondEnd < 0) return DecodeError::kCorruptEntropyData;
        transform(second, secondEnd, secondOut);
      }

      // Every macroblock but the last is followed by another read, which
      // would fail at this position; past the data nothing is valid.
      uint64_t position = reader.Position();
      if (position > availableBits) return DecodeError::kDataEndsEarly;
      bool last = mby + 1 == mbRows && mbx + 1 == mbColumns;
      if (!last && position >= firstFailingBit) return DecodeError::kDataEndsEarly;
    }
    if constexpr (!kPlanar) {
      uint32_t top = mby * 16;
      uint32_t rows = size.height - top < 16 ? size.height - top : 16;
      ColourRows strip{stripY_, width, stripCb_, stripCr_, width / 2, size.width, rows,
                       out + (ptrdiff_t{size.height} - 1 - top) * width * 3, -width * 3};
      ConvertToRgb24(strip, ColourForm::kDirect, rgbOrder, nullptr);
    }
  }
  if (lastReadStart >= firstFailingBit) return DecodeError::kDataEndsEarly;
  return {};
}

}  // namespace ksv::codec
