// Reading a dialog template, every field checked against the block's end.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::ui {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::byte> bytes) : bytes_(bytes) {}

  template <class Value>
  bool Read(Value& value) {
    if (bytes_.size() - offset_ < sizeof(Value)) return false;
    std::memcpy(&value, bytes_.data() + offset_, sizeof(Value));
    offset_ += sizeof(Value);
    return true;
  }

  bool Align(size_t boundary) {
    const size_t aligned = (offset_ + boundary - 1) / boundary * boundary;
    if (aligned > bytes_.size()) return false;
    offset_ = aligned;
    return true;
  }

  // A terminated UTF-16 string.
  bool String(std::string& text) {
    std::u16string units;
    for (;;) {
      char16_t unit = 0;
      if (!Read(unit)) return false;
      if (unit == 0) break;
      units += unit;
    }
    text = Utf16ToUtf8(units);
    return true;
  }

  // 0x0000 (nothing), 0xFFFF and an ordinal, or a string.
  bool StringOrOrdinal(std::string& text, std::optional<WORD>& ordinal) {
    WORD first = 0;
    if (!Read(first)) return false;
    if (first == 0x0000) return true;
    if (first == 0xFFFF) {
      WORD value = 0;
      if (!Read(value)) return false;
      ordinal = value;
      return true;
    }
    offset_ -= sizeof(WORD);
    return String(text);
  }

  bool Bytes(size_t count, std::vector<std::byte>& out) {
    if (bytes_.size() - offset_ < count) return false;
    out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_),
               bytes_.begin() + static_cast<std::ptrdiff_t>(offset_ + count));
    offset_ += count;
    return true;
  }

 private:
  std::span<const std::byte> bytes_;
  size_t offset_ = 0;
};

const char* StandardClass(WORD ordinal) {
  switch (ordinal) {
    case kButtonOrdinal: return WC_BUTTONA;
    case kEditOrdinal: return WC_EDITA;
    case kStaticOrdinal: return WC_STATICA;
    case kListBoxOrdinal: return WC_LISTBOXA;
    case kScrollBarOrdinal: return "ScrollBar";
    case kComboBoxOrdinal: return WC_COMBOBOXA;
    default: return nullptr;
  }
}

bool ReadHeader(Reader& reader, ParsedDialog& dialog, WORD& count) {
  WORD version = 0;
  WORD signature = 0;
  if (!reader.Read(version) || !reader.Read(signature)) return false;
  dialog.extended = version == 1 && signature == 0xFFFF;
  if (dialog.extended) {
    DWORD helpId = 0;
    if (!reader.Read(helpId) || !reader.Read(dialog.exStyle) || !reader.Read(dialog.style)) return false;
  } else {
    // The first DWORD was the style.
    dialog.style = static_cast<DWORD>(version) | static_cast<DWORD>(signature) << 16;
    if (!reader.Read(dialog.exStyle)) return false;
  }
  if (!reader.Read(count) || !reader.Read(dialog.x) || !reader.Read(dialog.y) ||
      !reader.Read(dialog.width) || !reader.Read(dialog.height)) {
    return false;
  }
  std::string menu;
  std::optional<WORD> menuOrdinal;
  std::optional<WORD> classOrdinal;
  if (!reader.StringOrOrdinal(menu, menuOrdinal) || !reader.StringOrOrdinal(dialog.className, classOrdinal)) {
    return false;
  }
  // The only class a template names by ordinal is the dialog class itself.
  if (classOrdinal && *classOrdinal != 0x8002) return false;
  if (!reader.String(dialog.title)) return false;
  if ((dialog.style & DS_SETFONT) != 0) {
    if (!reader.Read(dialog.pointSize)) return false;
    if (dialog.extended) {
      WORD weight = 0;
      BYTE italic = 0;
      BYTE charset = 0;
      if (!reader.Read(weight) || !reader.Read(italic) || !reader.Read(charset)) return false;
    }
    if (!reader.String(dialog.face)) return false;
  }
  return true;
}

bool ReadControl(Reader& reader, bool extended, ParsedControl& control) {
  if (!reader.Align(4)) return false;
  if (extended) {
    DWORD helpId = 0;
    if (!reader.Read(helpId) || !reader.Read(control.exStyle) || !reader.Read(control.style)) return false;
  } else if (!reader.Read(control.style) || !reader.Read(control.exStyle)) {
    return false;
  }
  if (!reader.Read(control.x) || !reader.Read(control.y) || !reader.Read(control.width) ||
      !reader.Read(control.height)) {
    return false;
  }
  if (extended) {
    if (!reader.Read(control.id)) return false;
  } else {
    WORD id = 0;
    if (!reader.Read(id)) return false;
    control.id = id;
  }
  std::optional<WORD> classOrdinal;
  std::optional<WORD> textOrdinal;
  if (!reader.StringOrOrdinal(control.className, classOrdinal)) return false;
  if (classOrdinal) {
    const char* name = StandardClass(*classOrdinal);
    if (name == nullptr) return false;
    control.className = name;
  }
  if (control.className.empty()) return false;
  // A title by ordinal names a resource (an icon): no text here.
  if (!reader.StringOrOrdinal(control.text, textOrdinal)) return false;
  WORD dataSize = 0;
  if (!reader.Read(dataSize)) return false;
  if (extended) return reader.Bytes(dataSize, control.creationData);
  if (dataSize == 0) return true;
  if (dataSize < sizeof(WORD)) return false;
  return reader.Bytes(dataSize - sizeof(WORD), control.creationData);
}

struct BlockRegistry {
  std::mutex mutex;
  std::map<const void*, size_t> sizes;
};

BlockRegistry& Blocks() {
  static BlockRegistry* registry = new BlockRegistry;
  return *registry;
}

}  // namespace

std::optional<ParsedDialog> ParseDialogTemplate(std::span<const std::byte> bytes) {
  Reader reader(bytes);
  ParsedDialog dialog;
  WORD count = 0;
  if (!ReadHeader(reader, dialog, count)) return std::nullopt;
  for (WORD i = 0; i < count; ++i) {
    ParsedControl control;
    if (!ReadControl(reader, dialog.extended, control)) return std::nullopt;
    dialog.controls.push_back(std::move(control));
  }
  return dialog;
}

void RememberTemplateBlock(const void* block, size_t size) {
  std::lock_guard guard(Blocks().mutex);
  Blocks().sizes[block] = size;
}

void ForgetTemplateBlock(const void* block) {
  std::lock_guard guard(Blocks().mutex);
  Blocks().sizes.erase(block);
}

std::optional<std::span<const std::byte>> KnownTemplateBlock(const void* block) {
  std::lock_guard guard(Blocks().mutex);
  const auto found = Blocks().sizes.find(block);
  if (found == Blocks().sizes.end()) return std::nullopt;
  return std::span<const std::byte>(static_cast<const std::byte*>(block), found->second);
}

}  // namespace ksv::platform::ui
