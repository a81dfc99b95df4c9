// FreeType behind the one typeface.
#include "platform/gdi/typeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <mutex>

namespace ksv::platform::gdi {
namespace {

constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// One FreeType library and face for the process; FreeType's objects are
// used by one thread at a time, so every use takes the lock.
struct Face {
  std::mutex lock;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

Face& TheFace() {
  static Face* face = [] {
    auto* made = new Face;  // kept to the process's end
    if (FT_Init_FreeType(&made->library) != 0 ||
        FT_New_Face(made->library, FontFilePath(), 0, &made->face) != 0) {
      made->face = nullptr;
    }
    return made;
  }();
  return *face;
}

// The next code point of UTF-8 text; U+FFFD for a byte that starts none.
char32_t NextCodePoint(std::string_view text, size_t& at) {
  const auto lead = static_cast<uint8_t>(text[at++]);
  const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if (at >= text.size() || (static_cast<uint8_t>(text[at]) & 0xC0) != 0x80) return 0xFFFD;
    code = code << 6 | (static_cast<uint8_t>(text[at++]) & 0x3F);
  }
  return code;
}

int CeilPixels(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

}  // namespace

const char* FontFilePath() {
  const char* path = std::getenv("KSV_FONT_FILE");
  return path != nullptr && *path != '\0' ? path : kDefaultFontFile;
}

int EmPixels(LONG height) {
  if (height < 0) return height < -4096 ? 4096 : static_cast<int>(-height);
  if (height == 0) return 11;
  Face& face = TheFace();
  std::lock_guard guard(face.lock);
  if (face.face == nullptr) return static_cast<int>(height);
  const long cell = face.face->ascender - face.face->descender;
  const long em = (long{std::min<LONG>(height, 4096)} * face.face->units_per_EM + cell / 2) / cell;
  return em < 1 ? 1 : static_cast<int>(em);
}

bool LayOut(int emPixels, std::string_view text, bool render, TextLine* line) {
  Face& face = TheFace();
  std::lock_guard guard(face.lock);
  if (face.face == nullptr || FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(emPixels)) != 0) return false;
  line->ascent = CeilPixels(face.face->size->metrics.ascender);
  line->descent = CeilPixels(-face.face->size->metrics.descender);
  line->width = 0;
  const FT_Int32 flags = FT_LOAD_TARGET_MONO | (render ? FT_LOAD_RENDER : 0);
  // The advances first, so the cell's width is known before drawing.
  std::vector<char32_t> codes;
  for (size_t at = 0; at < text.size();) codes.push_back(NextCodePoint(text, at));
  for (char32_t code : codes) {
    if (FT_Load_Char(face.face, code, FT_LOAD_TARGET_MONO) == 0) line->width += CeilPixels(face.face->glyph->advance.x);
  }
  if (!render) return true;
  line->dots.assign(static_cast<size_t>(line->width) * line->height(), 0);
  int pen = 0;
  for (char32_t code : codes) {
    if (FT_Load_Char(face.face, code, flags) != 0) continue;
    const FT_GlyphSlot glyph = face.face->glyph;
    if (glyph->format != FT_GLYPH_FORMAT_BITMAP || glyph->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
      FT_Render_Glyph(glyph, FT_RENDER_MODE_MONO);
    }
    const FT_Bitmap& bitmap = glyph->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const int y = line->ascent - glyph->bitmap_top + static_cast<int>(row);
      const uint8_t* bits = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        const int x = pen + glyph->bitmap_left + static_cast<int>(column);
        if (((bits[column / 8] >> (7 - column % 8)) & 1) == 0) continue;
        if (x >= 0 && x < line->width && y >= 0 && y < line->height()) {
          line->dots[static_cast<size_t>(y) * line->width + x] = 1;
        }
      }
    }
    pen += CeilPixels(glyph->advance.x);
  }
  return true;
}

}  // namespace ksv::platform::gdi
