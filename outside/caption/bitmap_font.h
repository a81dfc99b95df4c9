// The caption's font and how text is laid out and painted with it: 5 x 7
// letters of printable ASCII in 6 x 8 cells, scaled by a whole number,
// painted onto an RGB picture in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ksv::media::caption {

// The 7 rows of a character's letter, top first, 5 bits each (bit 4 the
// leftmost pixel). Bytes outside ' '..'~' get the letter of '?'.
const uint8_t* GlyphRows(char c);

// An RGB picture in memory: 24 bits (B, G, R) or 32 bits (B, G, R, X)
// per pixel, rows `stride` bytes apart, the bottom row first unless
// `topDown`.
struct Picture {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int bitCount = 24;
  size_t stride = 0;
  bool topDown = false;
};

struct TextStyle {
  int scale = 1;
  uint32_t colour = 0x00FFFFFF;  // 0x00BBGGRR
  uint32_t background = 0;       // 0x00BBGGRR
  bool opaque = true;            // fill the background behind the text
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// The text's rectangle in pixels: its longest line times the cell width,
// its lines ('\n' separated) times the cell height, times the scale.
TextSize MeasureText(std::string_view text, int scale);

// Paints `text` with its top-left corner at (x, y) from the picture's
// top-left; what falls outside the picture is clipped.
void PaintText(const Picture& picture, int x, int y, std::string_view text,
               const TextStyle& style);

}  // namespace ksv::media::caption
