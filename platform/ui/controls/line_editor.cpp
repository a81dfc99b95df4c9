#include "platform/ui/controls/line_editor.h"

#include <algorithm>

namespace ksv::platform::ui::controls {

void LineEditor::SetText(std::string text) {
  text_ = std::move(text);
  anchor_ = caret_ = text_.size();
}

void LineEditor::Select(long start, long end) {
  if (start < 0) {
    anchor_ = caret_;
    return;
  }
  const size_t size = text_.size();
  const size_t first = std::min(static_cast<size_t>(start), size);
  const size_t last = end < 0 ? size : std::min(static_cast<size_t>(end), size);
  anchor_ = std::min(first, last);
  caret_ = std::max(first, last);
}

LineEditor::Result LineEditor::Type(char character) { return Replace(std::string(1, character)); }

LineEditor::Result LineEditor::Replace(const std::string& text) {
  const size_t start = SelectionStart();
  const size_t kept = text_.size() - (SelectionEnd() - start);
  const size_t room = limit_ > kept ? limit_ - kept : 0;
  const std::string inserted = text.substr(0, room);
  if (inserted.empty() && SelectionEnd() == start) return text.empty() ? Result::Unchanged : Result::Full;
  text_.replace(start, SelectionEnd() - start, inserted);
  anchor_ = caret_ = start + inserted.size();
  return inserted.size() < text.size() ? Result::Full : Result::Changed;
}

LineEditor::Result LineEditor::Backspace() {
  if (SelectionEnd() == SelectionStart()) {
    if (caret_ == 0) return Result::Unchanged;
    anchor_ = caret_ - 1;
  }
  return Replace({});
}

LineEditor::Result LineEditor::Delete() {
  if (SelectionEnd() == SelectionStart()) {
    if (caret_ == text_.size()) return Result::Unchanged;
    anchor_ = caret_ + 1;
  }
  return Replace({});
}

void LineEditor::MoveTo(size_t position, bool extend) {
  caret_ = std::min(position, text_.size());
  if (!extend) anchor_ = caret_;
}

void LineEditor::Left(bool extend) {
  if (!extend && SelectionStart() != SelectionEnd()) return MoveTo(SelectionStart(), false);
  MoveTo(caret_ > 0 ? caret_ - 1 : 0, extend);
}

void LineEditor::Right(bool extend) {
  if (!extend && SelectionStart() != SelectionEnd()) return MoveTo(SelectionEnd(), false);
  MoveTo(caret_ + 1, extend);
}

void LineEditor::Home(bool extend) { MoveTo(0, extend); }
void LineEditor::End(bool extend) { MoveTo(text_.size(), extend); }

}  // namespace ksv::platform::ui::controls
