// The one typeface text is drawn in (DejaVu Sans, through FreeType,
// without anti-aliasing) and how a LOGFONTA's height picks its size.
#pragma once

#include <string_view>
#include <vector>

#include "platform/gdi/gdi.h"

namespace ksv::platform::gdi {

// The font file: $KSV_FONT_FILE, else Debian's DejaVu Sans.
const char* FontFilePath();

// The em size in pixels for a LOGFONTA height: a negative height is the
// characters' height; a positive one the cell's (ascent plus descent);
// 0 the icon-title font's 11 pixels.
int EmPixels(LONG height);

// A line of text laid out in a cell: its width, ascent and descent, and the
// pixels set, row by row (cell coordinates, row 0 the cell's top).
struct TextLine {
  int width = 0;
  int ascent = 0;
  int descent = 0;
  std::vector<uint8_t> dots;  // width x (ascent + descent), 1 where set
  int height() const { return ascent + descent; }
};
// Lays out UTF-8 `text` (each glyph at its hinted advance, no kerning);
// with `render` false only the sizes. False when the font cannot be read.
bool LayOut(int emPixels, std::string_view text, bool render, TextLine* line);

}  // namespace ksv::platform::gdi
