// Fonts and text: TextOutA, DrawTextA and measuring, in the one typeface.
#include <cstring>
#include <string>

#include "platform/gdi/objects.h"
#include "platform/gdi/typeface.h"
#include "platform/sync/sync.h"

namespace ksv::platform::gdi {
namespace {

std::string_view TextOf(const char* text, int length) {
  if (text == nullptr) return {};
  return length < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(length));
}

int EmOf(const DcObject& dc) { return EmPixels(dc.font != nullptr ? dc.font->logFont.lfHeight : 0); }

// Draws a laid-out line with its cell's top left at (x, y), within `bounds`
// when given (logical coordinates): the cell filled first when the
// background is opaque, then the set pixels in the text colour.
void DrawLine(DcObject& dc, const TextLine& line, int x, int y, const RECT* bounds) {
  DrawOn(dc, [&](const PixelView& view, const Region& deviceClip, POINT origin) {
    Region clip = deviceClip;
    if (bounds != nullptr) {
      clip.Intersect(RECT{bounds->left + origin.x, bounds->top + origin.y, bounds->right + origin.x,
                          bounds->bottom + origin.y});
    }
    const int left = x + origin.x;
    const int top = y + origin.y;
    if (dc.backMode == OPAQUE) {
      FillPixels(view, clip, RECT{left, top, left + line.width, top + line.height()}, dc.backColour);
    }
    const uint8_t colour[3] = {GetBValue(dc.textColour), GetGValue(dc.textColour), GetRValue(dc.textColour)};
    for (int row = 0; row < line.height(); ++row) {
      for (int column = 0; column < line.width; ++column) {
        if (line.dots[static_cast<size_t>(row) * line.width + column] == 0) continue;
        if (!clip.Contains(left + column, top + row)) continue;
        std::memcpy(view.Row(top + row) + 3 * (left + column), colour, 3);
      }
    }
  });
}

// The lines DrawTextA draws: split at line ends unless single-line, with
// mnemonic marks taken out unless DT_NOPREFIX.
std::vector<std::string> SplitLines(std::string_view text, UINT format) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((format & DT_SINGLELINE) == 0 && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else if (c == '&' && (format & DT_NOPREFIX) == 0) {
      if (i + 1 < text.size() && text[i + 1] == '&') lines.back() += text[++i];
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace
}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  FontObject object{*font};
  object.logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
  return ToHandle<HFONT>(NewObject(object));
}

BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT /*winIni*/) {
  if (action != SPI_GETICONTITLELOGFONT || value == nullptr || (param != 0 && param < sizeof(LOGFONTA))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LOGFONTA font{};
  font.lfHeight = -11;  // 8 points at 96 dots an inch
  font.lfWeight = 400;
  std::strcpy(font.lfFaceName, "MS Sans Serif");
  std::memcpy(value, &font, sizeof font);
  return TRUE;
}

BOOL TextOutA(HDC handle, int x, int y, const char* text, int length) {
  const auto dc = Get<DcObject>(handle);
  TextLine line;
  if (dc == nullptr || text == nullptr || length < 0 || !LayOut(EmOf(*dc), TextOf(text, length), true, &line)) {
    return FALSE;
  }
  DrawLine(*dc, line, x, y, nullptr);
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC handle, const char* text, int length, SIZE* size) {
  const auto dc = Get<DcObject>(handle);
  TextLine line;
  if (dc == nullptr || size == nullptr || length < 0 || (text == nullptr && length > 0) ||
      !LayOut(EmOf(*dc), TextOf(text, length), false, &line)) {
    return FALSE;
  }
  *size = SIZE{line.width, line.height()};
  return TRUE;
}

int DrawTextA(HDC handle, const char* text, int length, RECT* rect, UINT format) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr || rect == nullptr || text == nullptr) return 0;
  const int em = EmOf(*dc);
  std::vector<TextLine> lines;
  for (const std::string& part : SplitLines(TextOf(text, length), format)) {
    TextLine line;
    if (!LayOut(em, part, (format & DT_CALCRECT) == 0, &line)) return 0;
    lines.push_back(std::move(line));
  }
  int width = 0;
  int height = 0;
  for (const TextLine& line : lines) {
    width = std::max(width, line.width);
    height += line.height();
  }
  if (format & DT_CALCRECT) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - height) / 2;
    if (format & DT_BOTTOM) y = rect->bottom - height;
  }
  const RECT* bounds = (format & DT_NOCLIP) != 0 ? nullptr : rect;
  for (const TextLine& line : lines) {
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (rect->right - rect->left - line.width) / 2;
    if (format & DT_RIGHT) x = rect->right - line.width;
    DrawLine(*dc, line, x, y, bounds);
    y += line.height();
  }
  // With the text placed lower than the top, the platform gives the
  // distance from the top to the text's bottom.
  return (format & (DT_VCENTER | DT_BOTTOM)) != 0 && (format & DT_SINGLELINE) != 0 ? y - rect->top : height;
}

}  // extern "C"
