// "ComboBox": a list with one selected item shown in the box, and for
// CBS_DROPDOWN an edit part a person types into. A person changes the
// selection with the arrow keys, with a character (the next item starting
// with it) or by opening the list (a click) and picking an item; each sends
// CBN_SELCHANGE. A program's CB_SETCURSEL does not.
#include <algorithm>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"
#include "platform/ui/controls/item_list.h"
#include "platform/ui/controls/line_editor.h"

namespace ksv::platform::ui::controls {
namespace {

constexpr WPARAM kF4 = 0x73;
// A closed combo box is as high as one line of its edit part; the height it
// was made with is its open list's.
constexpr int kClosedHeight = 21;

struct ComboState final : ControlState {
  explicit ComboState(bool sorted) : items(sorted) {}
  ItemList items;
  LineEditor editor;  // the text shown in the box
  bool dropped = false;
};

bool IsDropDownList(HWND combo) { return (StyleOf(combo) & 0x3) == CBS_DROPDOWNLIST; }

void ShowText(HWND combo, ComboState& state, const std::string& text) {
  state.editor.SetText(text);
  DefWindowProcA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ShowSelection(HWND combo, ComboState& state) { ShowText(combo, state, state.items.SelectedText()); }

void Drop(HWND combo, ComboState& state, bool open) {
  if (state.dropped == open) return;
  state.dropped = open;
  NotifyParent(combo, open ? CBN_DROPDOWN : CBN_CLOSEUP);
}

// A person's choice of item `index`.
void Choose(HWND combo, ComboState& state, int index) {
  if (!state.items.Has(index) || index == state.items.Selection()) return;
  state.items.Select(index);
  ShowSelection(combo, state);
  NotifyParent(combo, CBN_SELCHANGE);
}

void KeyDown(HWND combo, ComboState& state, WPARAM key) {
  const int count = state.items.Count();
  const int current = state.items.Selection();
  const bool list = IsDropDownList(combo);
  switch (key) {
    case VK_DOWN: Choose(combo, state, current + 1); break;
    case VK_UP: Choose(combo, state, current < 0 ? 0 : current - 1); break;
    case VK_RIGHT: if (list) Choose(combo, state, current + 1); break;
    case VK_LEFT: if (list) Choose(combo, state, current < 0 ? 0 : current - 1); break;
    case VK_HOME: if (list) Choose(combo, state, 0); break;
    case VK_END: if (list) Choose(combo, state, count - 1); break;
    case VK_RETURN:
      if (state.dropped) NotifyParent(combo, CBN_SELENDOK);
      Drop(combo, state, false);
      break;
    case VK_ESCAPE: Drop(combo, state, false); break;
    case kF4: Drop(combo, state, !state.dropped); break;
    default: break;
  }
}

void Typed(HWND combo, ComboState& state, char character) {
  if (IsDropDownList(combo)) {
    if (static_cast<unsigned char>(character) < 0x20) return;
    const int from = state.items.Selection() + 1;
    Choose(combo, state, state.items.FindFrom(from < state.items.Count() ? from : 0, std::string(1, character)));
    return;
  }
  LineEditor::Result result = LineEditor::Result::Unchanged;
  if (character == '\b') {
    result = state.editor.Backspace();
  } else if (static_cast<unsigned char>(character) >= 0x20) {
    result = state.editor.Type(character);
  }
  if (result == LineEditor::Result::Unchanged) return;
  state.items.Select(-1);
  DefWindowProcA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.editor.text().c_str()));
  NotifyParent(combo, CBN_EDITUPDATE);
  NotifyParent(combo, CBN_EDITCHANGE);
}

LRESULT SetText(HWND combo, ComboState& state, const char* text) {
  const std::string value = text != nullptr ? text : "";
  if (!IsDropDownList(combo)) {
    ShowText(combo, state, value);
    return TRUE;
  }
  // A list shows only its items: the text must name one.
  const auto found = state.items.Handle(ItemList::Operation::FindExact, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(value.c_str()), false);
  if (found < 0) return CB_ERR;
  state.items.Select(static_cast<int>(found));
  ShowSelection(combo, state);
  return TRUE;
}

LRESULT Input(HWND combo, ComboState& state, UINT message, WPARAM wParam) {
  if (!TakesInput(combo)) return 0;
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(combo);
      Drop(combo, state, !state.dropped);
      break;
    case kChooseItemMessage: {
      if (!state.dropped) break;
      const int index = static_cast<int>(wParam);
      Choose(combo, state, index);
      if (state.items.Has(index)) NotifyParent(combo, CBN_SELENDOK);
      Drop(combo, state, false);
      break;
    }
    case WM_KEYDOWN: KeyDown(combo, state, wParam); break;
    case WM_CHAR: Typed(combo, state, static_cast<char>(wParam)); break;
    default: break;
  }
  return 0;
}

LRESULT ComboBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    const bool sorted = create != nullptr && (static_cast<DWORD>(create->style) & CBS_SORT) != 0;
    Attach(window, std::make_shared<ComboState>(sorted));
    if (create != nullptr && (static_cast<DWORD>(create->style) & 0x3) != CBS_SIMPLE) {
      if (const std::shared_ptr<Window> record = Find(window)) {
        std::unique_lock guard(TableLock());
        record->rect.bottom = record->rect.top + std::min(kClosedHeight, create->cy);
      }
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  const std::shared_ptr<ComboState> state = StateOf<ComboState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (const auto operation = ComboOperation(message)) {
    const LRESULT result = state->items.Handle(*operation, wParam, lParam, /*clearOnBadIndex=*/true);
    using Op = ItemList::Operation;
    if (*operation == Op::SetSelection || *operation == Op::SelectString || *operation == Op::Reset ||
        (*operation == Op::Delete && state->items.Selection() < 0 && IsDropDownList(window))) {
      if (*operation != Op::SelectString || result >= 0) ShowSelection(window, *state);
    }
    return result;
  }
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (IsDropDownList(window) ? 0 : DLGC_HASSETSEL) |
             (state->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_SETTEXT: return SetText(window, *state, reinterpret_cast<const char*>(lParam));
    case WM_LBUTTONDOWN:
    case kChooseItemMessage:
    case WM_KEYDOWN:
    case WM_CHAR:
      return Input(window, *state, message, wParam);
    case CB_SHOWDROPDOWN: Drop(window, *state, wParam != 0); return TRUE;
    case CB_GETDROPPEDSTATE: return state->dropped ? TRUE : FALSE;
    case CB_LIMITTEXT: state->editor.SetLimit(wParam); return TRUE;
    case CB_SETEDITSEL:
      state->editor.Select(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
      return TRUE;
    case WM_SETFOCUS:
      if (!IsDropDownList(window)) state->editor.SelectAll();
      NotifyParent(window, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      Drop(window, *state, false);
      if (message == WM_KILLFOCUS) NotifyParent(window, CBN_KILLFOCUS);
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The closed box: the text, and the arrow button at the right. The open
// list is not drawn (it would lie outside the control).
void DrawCombo(HWND combo, const ComboState& state) {
  Paint(combo, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    const RECT box{0, 0, client.right, std::min<LONG>(client.bottom, kClosedHeight)};
    FillWindow(dc, box);
    RECT edge = box;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    RECT button{box.right - 2 - 16, 2, box.right - 2, box.bottom - 2};
    FillFace(dc, button);
    DrawEdge(dc, &button, EDGE_RAISED, BF_RECT);
    const int middleX = (button.left + button.right) / 2;
    const int middleY = (button.top + button.bottom) / 2;
    for (int row = 0; row < 4; ++row) {
      Line(dc, middleX - 3 + row, middleY - 2 + row, middleX + 4 - row, middleY - 2 + row,
           enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    }
    Label(dc, state.editor.text(), RECT{4, 2, button.left - 2, box.bottom - 2},
          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, enabled);
  });
}

}  // namespace

LRESULT ComboBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<ComboState>(window, message, wParam, lParam, ComboBoxMessage, DrawCombo);
}

}  // namespace ksv::platform::ui::controls
