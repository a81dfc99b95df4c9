// Where a picture's entropy-coded data ends. The camera stores a picture's
// data padded with zeros to its memory's 64-byte grid; the padding is not
// part of the scan, and a JPEG file that carries it before its end marker
// is damaged in every decoder's eyes. Walking the scan's Huffman codes, as
// the decoder does but without decoding a block, finds the last byte the
// scan needs. Nothing cheaper is sound: the camera's form has no markers to
// look for (0xFF is data like any other byte), and the scan's own last
// bytes may be zeros (a flat macroblock's chroma blocks code as eight zero
// bits), which look just like the padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ksv::codec {

// How the scan's bytes are laid out.
enum class ScanBytes : uint8_t {
  kBare,     // the camera's form: every byte is data
  kStuffed,  // the JPEG file's form: a 0x00 follows every data byte 0xFF,
             // and 0xFF followed by anything else is a marker that ends the data
};

// The number of bytes of `data` that the scan of a `width` x `height`
// picture in the camera's compression (4:2:0, Y blocks of a 16 x 16
// macroblock in raster order, then Cb, then Cr; the Annex K tables) takes,
// up to and including the byte that holds the last code's last bit (and
// its stuffed zero). Nothing when the data ends before the last block, a
// code is in no table or a run passes a block's end: such data is left as
// it is. Allocates nothing.
std::optional<size_t> ScanExtent(std::span<const uint8_t> data, uint32_t width, uint32_t height,
                                 ScanBytes layout);

}  // namespace ksv::codec
