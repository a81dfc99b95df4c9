// Little-endian fields at byte offsets: the one way every layer reads and
// writes the numbers of files, headers, records and packets.
//
// Bounds: every load and store names its buffer as a span and the field's
// offset in it, and checks that the whole field lies inside the span. A field
// that does not fit throws std::out_of_range and touches no byte. Readers of
// outside bytes still check the lengths they are given first, where they can
// turn a short buffer into their own clear error or fallback; this check is
// what makes a forgotten or wrong length check harmless instead of a read or
// write out of bounds. The check is one comparison that the compiler drops
// where it can prove the field fits (fixed-size buffers, constant offsets).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ksv::support {

namespace byte_order_detail {

[[noreturn, gnu::cold, gnu::noinline]] inline void ThrowFieldOutside(size_t offset, size_t width,
                                                                      size_t size) {
  throw std::out_of_range("a " + std::to_string(width) + "-byte field at offset " +
                          std::to_string(offset) + " lies outside a buffer of " +
                          std::to_string(size) + " bytes");
}

constexpr void CheckField(size_t size, size_t offset, size_t width) {
  if (offset > size || size - offset < width) ThrowFieldOutside(offset, width, size);
}

// Written as one expression a byte (not a loop) so that the compiler turns
// each into a single unaligned load or store.
template <size_t kWidth>
constexpr uint64_t LoadAt(const uint8_t* at) {
  return [at]<size_t... kByte>(std::index_sequence<kByte...>) {
    return ((uint64_t{at[kByte]} << (8 * kByte)) | ...);
  }(std::make_index_sequence<kWidth>());
}

template <size_t kWidth>
constexpr void StoreAt(uint8_t* at, uint64_t value) {
  [at, value]<size_t... kByte>(std::index_sequence<kByte...>) {
    ((at[kByte] = static_cast<uint8_t>(value >> (8 * kByte))), ...);
  }(std::make_index_sequence<kWidth>());
}

template <size_t kWidth>
constexpr uint64_t Load(std::span<const uint8_t> bytes, size_t offset) {
  CheckField(bytes.size(), offset, kWidth);
  return LoadAt<kWidth>(bytes.data() + offset);
}

template <size_t kWidth>
constexpr void Store(std::span<uint8_t> bytes, size_t offset, uint64_t value) {
  CheckField(bytes.size(), offset, kWidth);
  StoreAt<kWidth>(bytes.data() + offset, value);
}

template <size_t kWidth>
void Append(std::vector<uint8_t>& bytes, uint64_t value) {
  for (size_t i = 0; i < kWidth; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace byte_order_detail

// --- Loads: the field of `bytes` that starts at `offset` -------------------

constexpr uint16_t LoadLe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(byte_order_detail::Load<2>(bytes, offset));
}
// Three bytes, as the camera's per-item header stores its data size.
constexpr uint32_t LoadLe24(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(byte_order_detail::Load<3>(bytes, offset));
}
constexpr uint32_t LoadLe32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(byte_order_detail::Load<4>(bytes, offset));
}
constexpr uint64_t LoadLe64(std::span<const uint8_t> bytes, size_t offset) {
  return byte_order_detail::Load<8>(bytes, offset);
}
// Two's-complement fields (sound samples, signed property values, statuses).
constexpr int16_t LoadLeInt16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<int16_t>(LoadLe16(bytes, offset));
}
constexpr int32_t LoadLeInt32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<int32_t>(LoadLe32(bytes, offset));
}

// --- Stores: write exactly the field's bytes --------------------------------
// A signed value is stored as its two's complement: cast it to the unsigned
// type of the field's width.

constexpr void StoreLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  byte_order_detail::Store<2>(bytes, offset, value);
}
// The low three bytes of `value`; the top byte is dropped.
constexpr void StoreLe24(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  byte_order_detail::Store<3>(bytes, offset, value);
}
constexpr void StoreLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  byte_order_detail::Store<4>(bytes, offset, value);
}
constexpr void StoreLe64(std::span<uint8_t> bytes, size_t offset, uint64_t value) {
  byte_order_detail::Store<8>(bytes, offset, value);
}

// --- Appends: for structures built front to back ----------------------------

inline void AppendLe16(std::vector<uint8_t>& bytes, uint16_t value) {
  byte_order_detail::Append<2>(bytes, value);
}
inline void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  byte_order_detail::Append<4>(bytes, value);
}

// --- Unchecked: for the inner loops over sound samples ---------------------
// The same fields at a pointer, with no bounds check. Only for loops over a
// block whose size the loop itself was checked against (the sample
// converters), where a check a sample would cost time; everything else uses
// the checked forms above.

namespace unchecked {

constexpr int16_t LoadLeInt16(const uint8_t* at) {
  return static_cast<int16_t>(byte_order_detail::LoadAt<2>(at));
}
constexpr void StoreLe16(uint8_t* at, uint16_t value) { byte_order_detail::StoreAt<2>(at, value); }

}  // namespace unchecked

// --- Four-character codes ---------------------------------------------------

// The 32-bit number whose little-endian bytes are the four characters: the
// form of format codes, pool tags and item tags.
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

}  // namespace ksv::support
