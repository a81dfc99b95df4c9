#include "outside/caption/bitmap_font.h"

#include <algorithm>
#include <array>

#include "include/caption_control.h"

namespace ksv::media::caption {
namespace {

// One letter per printable character from ' ' to '~': seven rows of five
// pixels, '#' lit, '.' dark.
constexpr const char* kLetters[] = {
    "..... ..... ..... ..... ..... ..... .....",  // ' '
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",  // !
    ".#.#. .#.#. ..... ..... ..... ..... .....",  // "
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",  // #
    "..#.. .#### #.#.. .###. ..#.# ####. ..#..",  // $
    "##... ##..# ...#. ..#.. .#... #..## ...##",  // %
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",  // &
    "..#.. ..#.. ..... ..... ..... ..... .....",  // '
    "...#. ..#.. .#... .#... .#... ..#.. ...#.",  // (
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",  // )
    "..... ..#.. #.#.# .###. #.#.# ..#.. .....",  // *
    "..... ..#.. ..#.. ##### ..#.. ..#.. .....",  // +
    "..... ..... ..... ..... .##.. ..#.. .#...",  // ,
    "..... ..... ..... ##### ..... ..... .....",  // -
    "..... ..... ..... ..... ..... .##.. .##..",  // .
    "..... ....# ...#. ..#.. .#... #.... .....",  // /
    ".###. #...# #..## #.#.# ##..# #...# .###.",  // 0
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",  // 1
    ".###. #...# ....# ...#. ..#.. .#... #####",  // 2
    "##### ...#. ..#.. ...#. ....# #...# .###.",  // 3
    "...#. ..##. .#.#. #..#. ##### ...#. ...#.",  // 4
    "##### #.... ####. ....# ....# #...# .###.",  // 5
    "..##. .#... #.... ####. #...# #...# .###.",  // 6
    "##### ....# ...#. ..#.. .#... .#... .#...",  // 7
    ".###. #...# #...# .###. #...# #...# .###.",  // 8
    ".###. #...# #...# .#### ....# ...#. .##..",  // 9
    "..... .##.. .##.. ..... .##.. .##.. .....",  // :
    "..... .##.. .##.. ..... .##.. ..#.. .#...",  // ;
    "...#. ..#.. .#... #.... .#... ..#.. ...#.",  // <
    "..... ..... ##### ..... ##### ..... .....",  // =
    ".#... ..#.. ...#. ....# ...#. ..#.. .#...",  // >
    ".###. #...# ....# ...#. ..#.. ..... ..#..",  // ?
    ".###. #...# ....# .##.# #.#.# #.#.# .###.",  // @
    ".###. #...# #...# ##### #...# #...# #...#",  // A
    "####. #...# #...# ####. #...# #...# ####.",  // B
    ".###. #...# #.... #.... #.... #...# .###.",  // C
    "###.. #..#. #...# #...# #...# #..#. ###..",  // D
    "##### #.... #.... ####. #.... #.... #####",  // E
    "##### #.... #.... ####. #.... #.... #....",  // F
    ".###. #...# #.... #.### #...# #...# .####",  // G
    "#...# #...# #...# ##### #...# #...# #...#",  // H
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",  // I
    "..### ...#. ...#. ...#. ...#. #..#. .##..",  // J
    "#...# #..#. #.#.. ##... #.#.. #..#. #...#",  // K
    "#.... #.... #.... #.... #.... #.... #####",  // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...#",  // M
    "#...# #...# ##..# #.#.# #..## #...# #...#",  // N
    ".###. #...# #...# #...# #...# #...# .###.",  // O
    "####. #...# #...# ####. #.... #.... #....",  // P
    ".###. #...# #...# #...# #.#.# #..#. .##.#",  // Q
    "####. #...# #...# ####. #.#.. #..#. #...#",  // R
    ".#### #.... #.... .###. ....# ....# ####.",  // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",  // T
    "#...# #...# #...# #...# #...# #...# .###.",  // U
    "#...# #...# #...# #...# #...# .#.#. ..#..",  // V
    "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",  // W
    "#...# #...# .#.#. ..#.. .#.#. #...# #...#",  // X
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",  // Y
    "##### ....# ...#. ..#.. .#... #.... #####",  // Z
    ".###. .#... .#... .#... .#... .#... .###.",  // [
    "..... #.... .#... ..#.. ...#. ....# .....",  // backslash
    ".###. ...#. ...#. ...#. ...#. ...#. .###.",  // ]
    "..#.. .#.#. #...# ..... ..... ..... .....",  // ^
    "..... ..... ..... ..... ..... ..... #####",  // _
    ".#... ..#.. ..... ..... ..... ..... .....",  // `
    "..... ..... .###. ....# .#### #...# .####",  // a
    "#.... #.... #.##. ##..# #...# #...# ####.",  // b
    "..... ..... .###. #.... #.... #...# .###.",  // c
    "....# ....# .##.# #..## #...# #...# .####",  // d
    "..... ..... .###. #...# ##### #.... .###.",  // e
    "..##. .#..# .#... ###.. .#... .#... .#...",  // f
    "..... .#### #...# #...# .#### ....# .###.",  // g
    "#.... #.... #.##. ##..# #...# #...# #...#",  // h
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",  // i
    "...#. ..... ..##. ...#. ...#. #..#. .##..",  // j
    "#.... #.... #..#. #.#.. ##... #.#.. #..#.",  // k
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",  // l
    "..... ..... ##.#. #.#.# #.#.# #...# #...#",  // m
    "..... ..... #.##. ##..# #...# #...# #...#",  // n
    "..... ..... .###. #...# #...# #...# .###.",  // o
    "..... ..... ####. #...# ####. #.... #....",  // p
    "..... ..... .##.# #..## .#### ....# ....#",  // q
    "..... ..... #.##. ##..# #.... #.... #....",  // r
    "..... ..... .###. #.... .###. ....# ####.",  // s
    ".#... .#... ###.. .#... .#... .#..# ..##.",  // t
    "..... ..... #...# #...# #...# #..## .##.#",  // u
    "..... ..... #...# #...# #...# .#.#. ..#..",  // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#.",  // w
    "..... ..... #...# .#.#. ..#.. .#.#. #...#",  // x
    "..... ..... #...# #...# .#### ....# .###.",  // y
    "..... ..... ##### ...#. ..#.. .#... #####",  // z
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",  // {
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",  // |
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",  // }
    "..... ..... .#... #.#.# ...#. ..... .....",  // ~
};
constexpr int kFirst = ' ';
constexpr int kCount = '~' - ' ' + 1;
static_assert(std::size(kLetters) == kCount);
constexpr int kRows = 7;
constexpr int kColumns = 5;

using Rows = std::array<uint8_t, kRows>;

// A letter's rows from its picture; the picture must be exactly seven
// groups of five '#' or '.' separated by single spaces.
constexpr bool ParseLetter(const char* text, Rows* rows) {
  int at = 0;
  for (int row = 0; row < kRows; ++row) {
    uint8_t bits = 0;
    for (int column = 0; column < kColumns; ++column, ++at) {
      if (text[at] != '#' && text[at] != '.') return false;
      bits = uint8_t(bits << 1 | (text[at] == '#' ? 1 : 0));
    }
    if (text[at] != (row + 1 < kRows ? ' ' : '\0')) return false;
    ++at;
    (*rows)[row] = bits;
  }
  return true;
}

constexpr std::array<Rows, kCount> MakeFont() {
  std::array<Rows, kCount> font{};
  for (int i = 0; i < kCount; ++i) {
    if (!ParseLetter(kLetters[i], &font[i])) throw "a letter's picture is malformed";
  }
  return font;
}

constexpr std::array<Rows, kCount> kFont = MakeFont();

// The number of lines and the longest line of `text`.
void Lines(std::string_view text, int* count, size_t* longest) {
  *count = 1;
  *longest = 0;
  size_t length = 0;
  for (const char c : text) {
    if (c == '\n') {
      ++*count;
      length = 0;
    } else {
      *longest = std::max(*longest, ++length);
    }
  }
}

void Fill(const Picture& picture, int left, int top, int right, int bottom, uint32_t colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, picture.width);
  bottom = std::min(bottom, picture.height);
  const int bytes = picture.bitCount / 8;
  for (int y = top; y < bottom; ++y) {
    const int row = picture.topDown ? y : picture.height - 1 - y;
    uint8_t* pixel = picture.bits + size_t(row) * picture.stride + size_t(left) * bytes;
    for (int x = left; x < right; ++x, pixel += bytes) {
      pixel[0] = uint8_t(colour >> 16);  // blue
      pixel[1] = uint8_t(colour >> 8);   // green
      pixel[2] = uint8_t(colour);        // red
    }
  }
}

}  // namespace

const uint8_t* GlyphRows(char c) {
  const int code = static_cast<unsigned char>(c);
  const int index = code >= kFirst && code < kFirst + kCount ? code - kFirst : '?' - kFirst;
  return kFont[index].data();
}

TextSize MeasureText(std::string_view text, int scale) {
  if (text.empty()) return {};
  int lines = 0;
  size_t longest = 0;
  Lines(text, &lines, &longest);
  const size_t width = longest * kCaptionCellWidth * size_t(scale);
  const size_t height = size_t(lines) * kCaptionCellHeight * size_t(scale);
  return {int(std::min<size_t>(width, INT32_MAX)), int(std::min<size_t>(height, INT32_MAX))};
}

void PaintText(const Picture& picture, int x, int y, std::string_view text,
               const TextStyle& style) {
  const int scale = std::max(style.scale, 1);
  if (style.opaque) {
    const TextSize size = MeasureText(text, scale);
    Fill(picture, x, y, int(std::min<int64_t>(int64_t(x) + size.width, INT32_MAX)),
         int(std::min<int64_t>(int64_t(y) + size.height, INT32_MAX)), style.background);
  }
  int64_t cellX = x, cellY = y;
  const int cellWidth = kCaptionCellWidth * scale, cellHeight = kCaptionCellHeight * scale;
  for (const char c : text) {
    if (c == '\n') {
      cellX = x;
      cellY += cellHeight;
      continue;
    }
    // Letters wholly outside the picture are skipped, so a long caption
    // costs nothing past the edge.
    if (cellX < picture.width && cellY < picture.height && cellX + cellWidth > 0 &&
        cellY + cellHeight > 0) {
      const uint8_t* rows = GlyphRows(c);
      for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
          if ((rows[row] >> (kColumns - 1 - column) & 1) == 0) continue;
          const int left = int(cellX) + column * scale, top = int(cellY) + row * scale;
          Fill(picture, left, top, left + scale, top + scale, style.colour);
        }
      }
    }
    cellX += cellWidth;
  }
}

}  // namespace ksv::media::caption
