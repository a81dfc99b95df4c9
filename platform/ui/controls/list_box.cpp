// "ListBox": a column of items, one of them selected. A person selects by
// clicking an item (kListItemHeight pixels each, from the top item shown),
// with the arrow, Home, End and page keys, or with a character (the next
// item starting with it); with LBS_NOTIFY each change sends LBN_SELCHANGE.
// A program's LB_SETCURSEL does not.
#include <algorithm>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"
#include "platform/ui/controls/item_list.h"

namespace ksv::platform::ui::controls {
namespace {

struct ListState final : ControlState {
  explicit ListState(bool sorted) : items(sorted) {}
  ItemList items;
  int top = 0;  // the first item shown
};

bool Notifies(HWND list) { return (StyleOf(list) & LBS_NOTIFY) != 0; }

int ItemsShown(HWND list) { return std::max(1, Height(list) / kListItemHeight); }

void ShowItem(HWND list, ListState& state, int index) {
  if (index < 0) return;
  if (index < state.top) state.top = index;
  if (index >= state.top + ItemsShown(list)) state.top = index - ItemsShown(list) + 1;
}

void Choose(HWND list, ListState& state, int index) {
  index = std::clamp(index, 0, state.items.Count() - 1);
  if (!state.items.Has(index) || index == state.items.Selection()) return;
  state.items.Select(index);
  ShowItem(list, state, index);
  if (Notifies(list)) NotifyParent(list, LBN_SELCHANGE);
}

void KeyDown(HWND list, ListState& state, WPARAM key) {
  const int current = state.items.Selection();
  const int page = ItemsShown(list);
  switch (key) {
    case VK_DOWN:
    case VK_RIGHT: Choose(list, state, current + 1); break;
    case VK_UP:
    case VK_LEFT: Choose(list, state, current < 0 ? 0 : current - 1); break;
    case VK_HOME: Choose(list, state, 0); break;
    case VK_END: Choose(list, state, state.items.Count() - 1); break;
    case VK_NEXT: Choose(list, state, current + page); break;
    case VK_PRIOR: Choose(list, state, current - page); break;
    default: break;
  }
}

LRESULT Input(HWND list, ListState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!TakesInput(list)) return 0;
  switch (message) {
    case WM_LBUTTONDOWN: {
      SetFocus(list);
      const int index = state.top + PointY(lParam) / kListItemHeight;
      if (PointY(lParam) >= 0 && state.items.Has(index)) Choose(list, state, index);
      break;
    }
    case WM_LBUTTONDBLCLK:
      if (Notifies(list)) NotifyParent(list, LBN_DBLCLK);
      break;
    case kChooseItemMessage:  // scrolled to and clicked
      SetFocus(list);
      if (state.items.Has(static_cast<int>(wParam))) Choose(list, state, static_cast<int>(wParam));
      break;
    case WM_KEYDOWN: KeyDown(list, state, wParam); break;
    case WM_CHAR:
      if (static_cast<unsigned char>(wParam) >= 0x20 && state.items.Count() > 0) {
        const int from = (state.items.Selection() + 1) % state.items.Count();
        const int found = state.items.FindFrom(from, std::string(1, static_cast<char>(wParam)));
        if (found >= 0) Choose(list, state, found);
      }
      break;
    default: break;
  }
  return 0;
}

LRESULT ListBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    const bool sorted = create != nullptr && (static_cast<DWORD>(create->style) & LBS_SORT) != 0;
    Attach(window, std::make_shared<ListState>(sorted));
    return DefWindowProcA(window, message, wParam, lParam);
  }
  const std::shared_ptr<ListState> state = StateOf<ListState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (const auto operation = ListOperation(message)) {
    const LRESULT result = state->items.Handle(*operation, wParam, lParam, /*clearOnBadIndex=*/false);
    if (*operation == ItemList::Operation::SetSelection || *operation == ItemList::Operation::SelectString) {
      ShowItem(window, *state, state->items.Selection());
    }
    if (*operation == ItemList::Operation::Reset) state->top = 0;
    return result;
  }
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LB_GETITEMHEIGHT: return kListItemHeight;
    case LB_GETTOPINDEX: return state->top;
    case LB_SETTOPINDEX: {
      const int index = static_cast<int>(wParam);
      if (!state->items.Has(index)) return LB_ERR;
      state->top = index;
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case kChooseItemMessage:
    case WM_KEYDOWN:
    case WM_CHAR:
      return Input(window, *state, message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (Notifies(window)) NotifyParent(window, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

void DrawList(HWND list, const ListState& state) {
  Paint(list, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    FillWindow(dc, client);
    for (int index = state.top; index < state.items.Count(); ++index) {
      const int top = (index - state.top) * kListItemHeight + 2;
      if (top >= client.bottom) break;
      RECT row{2, top, client.right - 2, top + kListItemHeight};
      const bool selected = index == state.items.Selection();
      if (selected) FillRect(dc, &row, GetSysColorBrush(enabled ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
      row.left += 2;
      if (selected && enabled) {
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        const std::string& text = state.items.At(index).text;
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &row, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      } else {
        Label(dc, state.items.At(index).text, row, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, enabled);
      }
    }
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  });
}

}  // namespace

LRESULT ListBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<ListState>(window, message, wParam, lParam, ListBoxMessage, DrawList);
}

}  // namespace ksv::platform::ui::controls
