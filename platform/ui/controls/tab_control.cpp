// "SysTabControl32": a row of tabs along the top, one of them selected,
// over a framed display area where the parent shows the selected tab's
// page. Tabs are as wide as their text and laid out left to right.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

constexpr int kTabHeight = 20;
constexpr int kTabPadding = 6;  // on each side of a tab's text
constexpr int kDisplayMargin = 4;

struct TabItem {
  std::string text;
  LPARAM data = 0;
};

struct TabState final : ControlState {
  std::vector<TabItem> items;
  int selection = -1;
};

bool Has(const TabState& state, int index) { return index >= 0 && index < static_cast<int>(state.items.size()); }

RECT ItemRect(const TabState& state, int index) {
  int left = 2;
  for (int at = 0; at < index; ++at) left += Measure(state.font, state.items[size_t(at)].text).cx + 2 * kTabPadding;
  const int width = Measure(state.font, state.items[size_t(index)].text).cx + 2 * kTabPadding;
  return RECT{left, 2, left + width, kTabHeight};
}

// WM_NOTIFY to the parent; its answer (TCN_SELCHANGING: TRUE refuses).
LRESULT Notify(HWND tab, UINT code) {
  HWND parent = GetParent(tab);
  if (parent == nullptr) return 0;
  NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), code};
  return SendMessageA(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// A person's choice of tab `index`: asked, made, told.
void Choose(HWND tab, TabState& state, int index) {
  if (!Has(state, index) || index == state.selection) return;
  if (Notify(tab, TCN_SELCHANGING) != 0) return;
  state.selection = index;
  Repaint(tab);
  Notify(tab, TCN_SELCHANGE);
}

LRESULT GetItem(const TabState& state, int index, TCITEMA* item) {
  if (!Has(state, index) || item == nullptr) return FALSE;
  const TabItem& source = state.items[size_t(index)];
  if ((item->mask & TCIF_TEXT) != 0 && item->pszText != nullptr && item->cchTextMax > 0) {
    const size_t count = std::min(source.text.size(), static_cast<size_t>(item->cchTextMax - 1));
    std::memcpy(item->pszText, source.text.data(), count);
    item->pszText[count] = '\0';
  }
  if ((item->mask & TCIF_PARAM) != 0) item->lParam = source.data;
  return TRUE;
}

void SetItem(TabItem& target, const TCITEMA& item) {
  if ((item.mask & TCIF_TEXT) != 0) target.text = item.pszText != nullptr ? item.pszText : "";
  if ((item.mask & TCIF_PARAM) != 0) target.data = item.lParam;
}

// The display area of a control of `window` size, or the window a display
// area needs (`larger`).
void Adjust(RECT* rect, bool larger) {
  if (rect == nullptr) return;
  const int sign = larger ? -1 : 1;
  rect->left += sign * kDisplayMargin;
  rect->right -= sign * kDisplayMargin;
  rect->top += sign * (kTabHeight + kDisplayMargin);
  rect->bottom -= sign * kDisplayMargin;
}

LRESULT TabMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Attach(window, std::make_shared<TabState>());
  const std::shared_ptr<TabState> state = StateOf<TabState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const int index = static_cast<int>(wParam);
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case TCM_GETITEMCOUNT: return static_cast<LRESULT>(state->items.size());
    case TCM_GETITEMA: return GetItem(*state, index, reinterpret_cast<TCITEMA*>(lParam));
    case TCM_SETITEMA:
      if (!Has(*state, index) || lParam == 0) return FALSE;
      SetItem(state->items[size_t(index)], *reinterpret_cast<const TCITEMA*>(lParam));
      return TRUE;
    case TCM_INSERTITEMA: {
      if (lParam == 0 || index < 0) return -1;
      const int at = std::min(index, static_cast<int>(state->items.size()));
      TabItem item;
      SetItem(item, *reinterpret_cast<const TCITEMA*>(lParam));
      state->items.insert(state->items.begin() + at, item);
      if (state->selection < 0) {
        state->selection = 0;
      } else if (at <= state->selection) {
        ++state->selection;
      }
      return at;
    }
    case TCM_DELETEITEM:
      if (!Has(*state, index)) return FALSE;
      state->items.erase(state->items.begin() + index);
      if (state->selection == index) state->selection = state->items.empty() ? -1 : 0;
      else if (state->selection > index) --state->selection;
      return TRUE;
    case TCM_DELETEALLITEMS: state->items.clear(); state->selection = -1; return TRUE;
    case TCM_GETITEMRECT:
      if (!Has(*state, index) || lParam == 0) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = ItemRect(*state, index);
      return TRUE;
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS: return state->selection;
    case TCM_SETCURSEL: {
      if (!Has(*state, index)) return -1;
      return std::exchange(state->selection, index);
    }
    case TCM_SETCURFOCUS: Choose(window, *state, index); return 0;
    case TCM_ADJUSTRECT: Adjust(reinterpret_cast<RECT*>(lParam), wParam != 0); return 0;
    case WM_LBUTTONDOWN: {
      if (!TakesInput(window)) return 0;
      SetFocus(window);
      const int x = PointX(lParam), y = PointY(lParam);
      for (int at = 0; at < static_cast<int>(state->items.size()); ++at) {
        const RECT rect = ItemRect(*state, at);
        if (x >= rect.left && x < rect.right && y >= 0 && y < rect.bottom) Choose(window, *state, at);
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (!TakesInput(window)) return 0;
      if (wParam == VK_LEFT) Choose(window, *state, state->selection - 1);
      if (wParam == VK_RIGHT) Choose(window, *state, state->selection + 1);
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The display area's raised frame, and the tabs above it; the selected tab
// stands out over the frame's top line.
void DrawTabs(HWND tab, const TabState& state) {
  Paint(tab, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    FillFace(dc, client);
    RECT frame{0, kTabHeight, client.right, client.bottom};
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    for (int at = 0; at < static_cast<int>(state.items.size()); ++at) {
      RECT rect = ItemRect(state, at);
      const bool selected = at == state.selection;
      if (selected) rect = RECT{rect.left - 2, rect.top - 2, rect.right + 2, rect.bottom + 1};
      FillFace(dc, rect);
      RECT edge = rect;
      DrawEdge(dc, &edge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
      Label(dc, state.items[size_t(at)].text, rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled);
    }
  });
}

}  // namespace

LRESULT TabControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<TabState>(window, message, wParam, lParam, TabMessage, DrawTabs);
}

}  // namespace ksv::platform::ui::controls
