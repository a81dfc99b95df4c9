// One line of text being typed into, with its caret and selection: what an
// edit control and a combo box's edit part share.
#pragma once

#include <cstddef>
#include <string>

namespace ksv::platform::ui::controls {

class LineEditor {
 public:
  static constexpr size_t kDefaultLimit = 0x7FFFFFFE;

  enum class Result { Changed, Unchanged, Full };

  const std::string& text() const { return text_; }
  // Replaces the whole text (a program's WM_SETTEXT: the limit does not
  // apply); the caret goes to the end.
  void SetText(std::string text);
  void SetLimit(size_t limit) { limit_ = limit == 0 ? kDefaultLimit : limit; }
  size_t limit() const { return limit_; }

  size_t SelectionStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
  size_t SelectionEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
  // Positions past the end mean the end; start -1 drops the selection.
  void Select(long start, long end);
  void SelectAll() { Select(0, -1); }

  // A typed character replaces the selection; Full when it would pass the limit.
  Result Type(char character);
  // Replaces the selection with `text`, as far as the limit allows.
  Result Replace(const std::string& text);
  Result Backspace();
  Result Delete();
  // The caret keys; `extend` keeps the anchor (Shift held).
  void Left(bool extend);
  void Right(bool extend);
  void Home(bool extend);
  void End(bool extend);

 private:
  void MoveTo(size_t position, bool extend);

  std::string text_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  size_t limit_ = kDefaultLimit;
};

}  // namespace ksv::platform::ui::controls
