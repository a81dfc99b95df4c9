// Writing a dialog template.
#include <cstring>

#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::ui {
namespace {

class Writer {
 public:
  template <class Value>
  void Put(Value value) {
    const auto* raw = reinterpret_cast<const std::byte*>(&value);
    bytes_.insert(bytes_.end(), raw, raw + sizeof(Value));
  }
  void String(std::string_view text) {
    for (char16_t unit : Utf8ToUtf16(text)) Put(unit);
    Put(char16_t{0});
  }
  // A name, or nothing (0x0000) when empty.
  void NameOrNothing(std::string_view text) {
    if (text.empty()) {
      Put(WORD{0});
    } else {
      String(text);
    }
  }
  void Ordinal(WORD value) {
    Put(WORD{0xFFFF});
    Put(value);
  }
  void Align(size_t boundary) {
    while (bytes_.size() % boundary != 0) bytes_.push_back(std::byte{0});
  }
  void Bytes(const std::vector<std::byte>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  std::vector<std::byte> Take() { return std::move(bytes_); }

 private:
  std::vector<std::byte> bytes_;
};

short Units(int value) { return static_cast<short>(value); }

}  // namespace

DialogTemplate::DialogTemplate(std::vector<std::byte> bytes) : size_(bytes.size()) {
  storage_.assign((bytes.size() + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
  std::memcpy(storage_.data(), bytes.data(), bytes.size());
  RememberTemplateBlock(storage_.data(), size_);
}

DialogTemplate::~DialogTemplate() {
  if (!storage_.empty()) ForgetTemplateBlock(storage_.data());
}

DialogTemplate::DialogTemplate(DialogTemplate&& other) noexcept
    : storage_(std::move(other.storage_)), size_(other.size_) {
  other.storage_.clear();
}

DialogTemplateBuilder::DialogTemplateBuilder(DWORD style, int x, int y, int width, int height,
                                             std::string_view title)
    : style_(style), x_(x), y_(y), width_(width), height_(height), title_(title) {}

DialogTemplateBuilder& DialogTemplateBuilder::Font(WORD pointSize, std::string_view face) {
  style_ |= DS_SETFONT;
  pointSize_ = pointSize;
  face_ = face;
  return *this;
}

DialogTemplateBuilder& DialogTemplateBuilder::ClassName(std::string_view name) {
  className_ = name;
  return *this;
}

DialogTemplateBuilder& DialogTemplateBuilder::ExtendedStyle(DWORD exStyle) {
  exStyle_ = exStyle;
  return *this;
}

DialogTemplateBuilder& DialogTemplateBuilder::Extended() {
  extended_ = true;
  return *this;
}

DialogTemplateBuilder& DialogTemplateBuilder::Add(Control control) {
  control.style |= WS_CHILD | WS_VISIBLE;
  controls_.push_back(std::move(control));
  return *this;
}

namespace {
DialogTemplateBuilder::Control Make(WORD ordinal, std::string_view text, int id, DWORD style, int x, int y, int w,
                                    int h) {
  DialogTemplateBuilder::Control control;
  control.ordinal = ordinal;
  control.text = text;
  control.id = id;
  control.style = style;
  control.x = x;
  control.y = y;
  control.width = w;
  control.height = h;
  return control;
}
}  // namespace

DialogTemplateBuilder& DialogTemplateBuilder::PushButton(std::string_view text, int id, int x, int y, int w, int h,
                                                         DWORD style) {
  return Add(Make(kButtonOrdinal, text, id, BS_PUSHBUTTON | WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::DefPushButton(std::string_view text, int id, int x, int y, int w,
                                                            int h, DWORD style) {
  return Add(Make(kButtonOrdinal, text, id, BS_DEFPUSHBUTTON | WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::CheckBox(std::string_view text, int id, int x, int y, int w, int h,
                                                       DWORD style) {
  return Add(Make(kButtonOrdinal, text, id, BS_AUTOCHECKBOX | WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::RadioButton(std::string_view text, int id, int x, int y, int w,
                                                          int h, DWORD style) {
  return Add(Make(kButtonOrdinal, text, id, BS_AUTORADIOBUTTON | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::GroupBox(std::string_view text, int id, int x, int y, int w, int h,
                                                       DWORD style) {
  return Add(Make(kButtonOrdinal, text, id, BS_GROUPBOX | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::Label(std::string_view text, int id, int x, int y, int w, int h,
                                                    DWORD style) {
  return Add(Make(kStaticOrdinal, text, id, SS_LEFT | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::EditText(int id, int x, int y, int w, int h, DWORD style) {
  return Add(Make(kEditOrdinal, "", id, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::ComboBox(int id, int x, int y, int w, int h, DWORD style) {
  return Add(Make(kComboBoxOrdinal, "", id, WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::ListBox(int id, int x, int y, int w, int h, DWORD style) {
  return Add(Make(kListBoxOrdinal, "", id, WS_TABSTOP | style, x, y, w, h));
}

DialogTemplateBuilder& DialogTemplateBuilder::Trackbar(int id, int x, int y, int w, int h, DWORD style) {
  Control control = Make(0, "", id, WS_TABSTOP | style, x, y, w, h);
  control.className = TRACKBAR_CLASSA;
  return Add(std::move(control));
}

DialogTemplate DialogTemplateBuilder::Build() const {
  Writer writer;
  if (extended_) {
    writer.Put(WORD{1});
    writer.Put(WORD{0xFFFF});
    writer.Put(DWORD{0});  // help identifier
    writer.Put(exStyle_);
    writer.Put(style_);
  } else {
    writer.Put(style_);
    writer.Put(exStyle_);
  }
  writer.Put(static_cast<WORD>(controls_.size()));
  writer.Put(Units(x_));
  writer.Put(Units(y_));
  writer.Put(Units(width_));
  writer.Put(Units(height_));
  writer.Put(WORD{0});  // no menu
  writer.NameOrNothing(className_);
  writer.String(title_);
  if ((style_ & DS_SETFONT) != 0) {
    writer.Put(pointSize_);
    if (extended_) {
      writer.Put(WORD{400});  // weight
      writer.Put(BYTE{0});    // italic
      writer.Put(BYTE{1});    // character set: the default
    }
    writer.String(face_);
  }
  for (const Control& control : controls_) {
    writer.Align(4);
    if (extended_) {
      writer.Put(DWORD{0});  // help identifier
      writer.Put(control.exStyle);
      writer.Put(control.style);
    } else {
      writer.Put(control.style);
      writer.Put(control.exStyle);
    }
    writer.Put(Units(control.x));
    writer.Put(Units(control.y));
    writer.Put(Units(control.width));
    writer.Put(Units(control.height));
    if (extended_) {
      writer.Put(static_cast<DWORD>(control.id));
    } else {
      writer.Put(static_cast<WORD>(control.id));
    }
    if (control.ordinal != 0) {
      writer.Ordinal(control.ordinal);
    } else {
      writer.String(control.className);
    }
    writer.String(control.text);
    if (extended_) {
      writer.Put(static_cast<WORD>(control.creationData.size()));
    } else {
      writer.Put(static_cast<WORD>(control.creationData.empty() ? 0 : control.creationData.size() + sizeof(WORD)));
    }
    writer.Bytes(control.creationData);
  }
  return DialogTemplate(writer.Take());
}

}  // namespace ksv::platform::ui
