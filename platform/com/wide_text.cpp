#include "platform/com/wide_text.h"

#include <cstring>

namespace ksv::com {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
  } else {
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// One code point from UTF-8 at text[at], advancing `at`; U+FFFD for a
// malformed, overlong or surrogate sequence (one byte consumed).
char32_t NextUtf8(std::string_view text, size_t& at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  int extra = 0;
  char32_t code = 0, least = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, least = 0x10000;
  } else {
    ++at;
    return kReplacement;
  }
  if (at + static_cast<size_t>(extra) >= text.size()) {  // cut short
    ++at;
    return kReplacement;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = code << 6 | (next & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++at;
    return kReplacement;
  }
  at += 1 + extra;
  return code;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) AppendUtf16(out, NextUtf8(text, at));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    char32_t code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF) {
      code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
      ++at;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(out, code);
  }
  return out;
}

std::u16string_view WideView(const OLECHAR* text) {
  return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

std::u16string_view BstrView(BSTR text) {
  return text != nullptr ? std::u16string_view(text, SysStringLen(text)) : std::u16string_view();
}

BSTR BstrFromUtf8(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace ksv::com

namespace {

// Copies a converted string out as both Win32 conversions do.
template <class Char>
int Deliver(const std::basic_string<Char>& converted, Char* out, int size) {
  const auto needed = static_cast<int>(converted.size());
  if (size == 0) return needed;
  if (out == nullptr || size < needed) return 0;
  std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
  return needed;
}

}  // namespace

int MultiByteToWideChar(UINT, DWORD, const char* text, int length, WCHAR* wide, int wideSize) {
  if (text == nullptr || length < -1 || wideSize < 0) return 0;
  // With -1 the zero is converted too.
  const size_t count = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  return Deliver(ksv::com::Utf8ToUtf16(std::string_view(text, count)), wide, wideSize);
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR* wide, int length, char* text, int textSize,
                        const char*, BOOL* usedDefault) {
  if (usedDefault != nullptr) *usedDefault = FALSE;
  if (wide == nullptr || length < -1 || textSize < 0) return 0;
  const size_t count =
      length == -1 ? std::u16string_view(wide).size() + 1 : static_cast<size_t>(length);
  return Deliver(ksv::com::Utf16ToUtf8(std::u16string_view(wide, count)), text, textSize);
}
