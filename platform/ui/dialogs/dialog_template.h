// Dialog templates in their binary layout: a builder that writes one, as a
// resource compiler does (so pages can be made in code), and the reader
// that a dialog is created from.
//
// Standard layout: DLGTEMPLATE; the menu, class and title arrays (0x0000
// none, 0xFFFF and an ordinal, or a UTF-16 string with its terminator);
// with DS_SETFONT a point size and a face name; then per control, on a
// DWORD boundary, DLGITEMTEMPLATE, its class and title arrays and a WORD
// of creation data size (counting itself) followed by the data. Extended
// layout (DLGTEMPLATEEX, version 1, signature 0xFFFF): help identifier,
// styles the other way round, a font weight, italic and character set; a
// DWORD control identifier and a help identifier per control, whose
// creation data size does not count itself.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/dialogs/dialogs.h"

namespace ksv::platform::ui {

// The class ordinals a template may name a standard control by.
inline constexpr WORD kButtonOrdinal = 0x0080;
inline constexpr WORD kEditOrdinal = 0x0081;
inline constexpr WORD kStaticOrdinal = 0x0082;
inline constexpr WORD kListBoxOrdinal = 0x0083;
inline constexpr WORD kScrollBarOrdinal = 0x0084;
inline constexpr WORD kComboBoxOrdinal = 0x0085;

// A template's bytes, held where a DLGTEMPLATE pointer to them can be
// handed to the Win32 calls (which look its size up) for as long as this
// lives. DWORD-aligned.
class DialogTemplate {
 public:
  explicit DialogTemplate(std::vector<std::byte> bytes);
  ~DialogTemplate();
  DialogTemplate(DialogTemplate&& other) noexcept;
  DialogTemplate& operator=(DialogTemplate&&) = delete;
  DialogTemplate(const DialogTemplate&) = delete;
  DialogTemplate& operator=(const DialogTemplate&) = delete;

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(storage_.data()); }
  std::span<const std::byte> bytes() const {
    return {reinterpret_cast<const std::byte*>(storage_.data()), size_};
  }

 private:
  std::vector<DWORD> storage_;
  size_t size_ = 0;
};

// Makes a block of template bytes (a resource's, say) known to the Win32
// calls by its address, until forgotten.
void RememberTemplateBlock(const void* block, size_t size);
void ForgetTemplateBlock(const void* block);
// The size of a block made known, if it is one.
std::optional<std::span<const std::byte>> KnownTemplateBlock(const void* block);

class DialogTemplateBuilder {
 public:
  // Position and size in dialog units.
  DialogTemplateBuilder(DWORD style, int x, int y, int width, int height, std::string_view title);
  // DS_SETFONT with this font (the usual one: "MS Sans Serif", 8).
  DialogTemplateBuilder& Font(WORD pointSize, std::string_view face);
  DialogTemplateBuilder& ClassName(std::string_view name);
  DialogTemplateBuilder& ExtendedStyle(DWORD exStyle);
  // Writes DLGTEMPLATEEX instead.
  DialogTemplateBuilder& Extended();

  struct Control {
    WORD ordinal = 0;          // a standard class, or 0 with `className`
    std::string className;
    std::string text;
    int id = 0;
    DWORD style = 0;           // WS_CHILD | WS_VISIBLE are added
    int x = 0, y = 0, width = 0, height = 0;
    DWORD exStyle = 0;
    std::vector<std::byte> creationData;
  };
  DialogTemplateBuilder& Add(Control control);

  // The usual controls, as resource scripts name them. `style` is added to
  // each one's own.
  DialogTemplateBuilder& PushButton(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& DefPushButton(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& CheckBox(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  // An automatic radio button; WS_GROUP in `style` starts a group.
  DialogTemplateBuilder& RadioButton(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& GroupBox(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& Label(std::string_view text, int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& EditText(int id, int x, int y, int w, int h, DWORD style = 0);
  DialogTemplateBuilder& ComboBox(int id, int x, int y, int w, int h, DWORD style = CBS_DROPDOWNLIST);
  DialogTemplateBuilder& ListBox(int id, int x, int y, int w, int h, DWORD style = LBS_NOTIFY);
  DialogTemplateBuilder& Trackbar(int id, int x, int y, int w, int h, DWORD style = 0);

  DialogTemplate Build() const;

 private:
  DWORD style_;
  DWORD exStyle_ = 0;
  int x_, y_, width_, height_;
  std::string title_;
  std::string className_;
  bool extended_ = false;
  WORD pointSize_ = 0;
  std::string face_;
  std::vector<Control> controls_;
};

// What a template says, read with every bound checked.
struct ParsedControl {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, width = 0, height = 0;
  DWORD id = 0;
  std::string className;  // a standard class's name for an ordinal
  std::string text;
  std::vector<std::byte> creationData;
};

struct ParsedDialog {
  bool extended = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, width = 0, height = 0;
  std::string className;  // empty: the dialog class
  std::string title;
  WORD pointSize = 0;
  std::string face;
  std::vector<ParsedControl> controls;
};

// Nothing for a truncated or malformed template (a size that runs past the
// end, an unknown class ordinal, an unterminated string, a bad signature).
std::optional<ParsedDialog> ParseDialogTemplate(std::span<const std::byte> bytes);

// UTF-16 and UTF-8 as templates need them (a lone surrogate becomes U+FFFD).
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace ksv::platform::ui
