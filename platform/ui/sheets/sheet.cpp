// The sheet's window: its tab control and buttons, the notifications it
// sends its pages, and the PSM_* messages.
#include <algorithm>

#include "platform/sync/sync.h"
#include "platform/ui/sheets/sheet_window.h"

namespace ksv::platform::ui::sheets {
namespace {

Sheet* SheetOf(HWND window) { return reinterpret_cast<Sheet*>(GetWindowLongPtrA(window, DWLP_USER)); }

LRESULT Notify(Sheet& sheet, HPROPSHEETPAGE page, UINT code, LPARAM lParam = 0) {
  if (page->window == nullptr) return 0;
  PSHNOTIFY notification{{sheet.window, 0, code}, lParam};
  return SendMessageA(page->window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
}

HPROPSHEETPAGE Current(const Sheet& sheet) {
  return sheet.current >= 0 ? sheet.pages[size_t(sheet.current)] : nullptr;
}

}  // namespace

bool Show(Sheet& sheet, int index) {
  if (index < 0 || size_t(index) >= sheet.pages.size()) return false;
  HPROPSHEETPAGE page = sheet.pages[size_t(index)];
  if (page->window == nullptr) {
    sheet.creating = page;
    const bool made = CreatePageWindow(page, sheet.window, sheet.pageRect);
    sheet.creating = nullptr;
    if (!made) return false;
  }
  if (Notify(sheet, page, PSN_SETACTIVE) == -1) return false;
  if (HPROPSHEETPAGE previous = Current(sheet); previous != nullptr && previous != page) {
    ShowWindow(previous->window, SW_HIDE);
  }
  sheet.current = index;
  SendMessageA(sheet.tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  ShowWindow(page->window, SW_SHOW);
  return true;
}

namespace {

// The current page may be left (PSN_KILLACTIVE answered FALSE).
bool MayLeave(Sheet& sheet) {
  HPROPSHEETPAGE page = Current(sheet);
  return page == nullptr || Notify(sheet, page, PSN_KILLACTIVE) == FALSE;
}

void UpdateApply(Sheet& sheet) {
  const bool changed = std::any_of(sheet.pages.begin(), sheet.pages.end(), [](HPROPSHEETPAGE page) { return page->changed; });
  if (HWND apply = GetDlgItem(sheet.window, ID_APPLY_NOW)) EnableWindow(apply, changed ? TRUE : FALSE);
}

// PSN_APPLY to every page made; false when one refused (it is shown).
bool Apply(Sheet& sheet, bool closing) {
  if (!MayLeave(sheet)) return false;
  for (size_t index = 0; index < sheet.pages.size(); ++index) {
    HPROPSHEETPAGE page = sheet.pages[index];
    const LRESULT answer = Notify(sheet, page, PSN_APPLY, closing ? TRUE : FALSE);
    if (answer == PSNRET_INVALID || answer == PSNRET_INVALID_NOCHANGEPAGE) {
      if (answer == PSNRET_INVALID) Show(sheet, static_cast<int>(index));
      return false;
    }
  }
  for (HPROPSHEETPAGE page : sheet.pages) page->changed = false;
  sheet.applied = true;
  UpdateApply(sheet);
  return true;
}

void Close(Sheet& sheet, INT_PTR result) {
  sheet.ended = true;
  sheet.result = result;
  if (!sheet.modeless) EndDialog(sheet.window, result);
}

void Cancel(Sheet& sheet) {
  if (HPROPSHEETPAGE page = Current(sheet); page != nullptr && Notify(sheet, page, PSN_QUERYCANCEL) != FALSE) return;
  for (HPROPSHEETPAGE page : sheet.pages) Notify(sheet, page, PSN_RESET);
  Close(sheet, sheet.applied ? 1 : 0);
}

void Command(Sheet& sheet, int id) {
  switch (id) {
    case IDOK:
      if (Apply(sheet, true)) Close(sheet, 1);
      break;
    case IDCANCEL: Cancel(sheet); break;
    case ID_APPLY_NOW: Apply(sheet, false); break;
    default: break;
  }
}

int IndexOf(Sheet& sheet, HWND pageWindow) {
  // A page may speak from its WM_INITDIALOG, before its window is known.
  if (sheet.creating != nullptr && sheet.creating->window == nullptr && pageWindow != nullptr &&
      GetParent(pageWindow) == sheet.window) {
    sheet.creating->window = pageWindow;
  }
  for (size_t index = 0; index < sheet.pages.size(); ++index) {
    if (sheet.pages[index]->window == pageWindow && pageWindow != nullptr) return static_cast<int>(index);
  }
  return -1;
}

void AddTab(Sheet& sheet, HPROPSHEETPAGE page) {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = page->title.data();
  SendMessageA(sheet.tab, TCM_INSERTITEMA, sheet.pages.size(), reinterpret_cast<LPARAM>(&item));
  sheet.pages.push_back(page);
}

LRESULT SheetMessage(Sheet& sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case PSM_SETCURSEL: {
      int index = static_cast<int>(wParam);
      if (lParam != 0) {
        const auto found = std::find(sheet.pages.begin(), sheet.pages.end(), reinterpret_cast<HPROPSHEETPAGE>(lParam));
        index = found == sheet.pages.end() ? -1 : static_cast<int>(found - sheet.pages.begin());
      }
      if (index == sheet.current) return TRUE;
      return MayLeave(sheet) && Show(sheet, index) ? TRUE : FALSE;
    }
    case PSM_ADDPAGE: {
      auto page = reinterpret_cast<HPROPSHEETPAGE>(lParam);
      if (!IsPage(page)) return FALSE;
      AddTab(sheet, page);
      return TRUE;
    }
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
      const int index = IndexOf(sheet, reinterpret_cast<HWND>(wParam));
      if (index < 0) return 0;
      sheet.pages[size_t(index)]->changed = message == PSM_CHANGED;
      UpdateApply(sheet);
      return 0;
    }
    case PSM_CANCELTOCLOSE:
      SetDlgItemTextA(sheet.window, IDCANCEL, "Close");
      if (HWND ok = GetDlgItem(sheet.window, IDOK)) EnableWindow(ok, FALSE);
      return 0;
    case PSM_APPLY: return Apply(sheet, false) ? TRUE : FALSE;
    case PSM_SETTITLEA:
      SetWindowTextA(sheet.window, reinterpret_cast<const char*>(lParam));
      return 0;
    case PSM_PRESSBUTTON:
      Command(sheet, wParam == PSBTN_OK ? IDOK : wParam == PSBTN_CANCEL ? IDCANCEL
                                               : wParam == PSBTN_APPLYNOW ? ID_APPLY_NOW : 0);
      return 0;
    case PSM_GETTABCONTROL: return reinterpret_cast<LRESULT>(sheet.tab);
    case PSM_ISDIALOGMESSAGE: return IsDialogMessageA(sheet.window, reinterpret_cast<MSG*>(lParam));
    case PSM_GETCURRENTPAGEHWND:
      return sheet.ended || Current(sheet) == nullptr ? 0 : reinterpret_cast<LRESULT>(Current(sheet)->window);
    case PSM_INDEXTOHWND:
      return wParam < sheet.pages.size() ? reinterpret_cast<LRESULT>(sheet.pages[wParam]->window) : 0;
    default: return 0;
  }
}

}  // namespace

INT_PTR SheetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Sheet* sheet = SheetOf(window);
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    sheet = reinterpret_cast<Sheet*>(lParam);
    sheet->window = window;
    sheet->tab = GetDlgItem(window, kSheetTabId);
    // The tab control's display area, where the pages go.
    sheet->pageRect = sheet->tabUnits;
    MapDialogRect(window, &sheet->pageRect);
    SendMessageA(sheet->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&sheet->pageRect));
    // The pages lie over the tab control's display area, so the control is
    // shaped to its tabs and frame: it neither draws over them nor takes
    // their clicks.
    RECT tab{};
    GetWindowRect(sheet->tab, &tab);
    RECT self{};
    GetWindowRect(window, &self);
    const POINT at{tab.left - self.left, tab.top - self.top};
    HRGN shape = CreateRectRgn(0, 0, tab.right - tab.left, tab.bottom - tab.top);
    HRGN display = CreateRectRgn(sheet->pageRect.left - at.x, sheet->pageRect.top - at.y,
                                 sheet->pageRect.right - at.x, sheet->pageRect.bottom - at.y);
    CombineRgn(shape, shape, display, RGN_DIFF);
    DeleteObject(display);
    SetWindowRgn(sheet->tab, shape, FALSE);  // the window owns the region from here
    std::vector<HPROPSHEETPAGE> pages;
    pages.swap(sheet->pages);
    for (HPROPSHEETPAGE page : pages) AddTab(*sheet, page);
    return TRUE;
  }
  if (sheet == nullptr) return FALSE;
  if (message >= PSM_SETCURSEL && message <= PSM_INDEXTOHWND) {
    SetWindowLongPtrA(window, DWLP_MSGRESULT, SheetMessage(*sheet, message, wParam, lParam));
    return TRUE;
  }
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header == nullptr || header->hwndFrom != sheet->tab) return FALSE;
      if (header->code == TCN_SELCHANGING) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, MayLeave(*sheet) ? FALSE : TRUE);
        return TRUE;
      }
      if (header->code == TCN_SELCHANGE) {
        const int chosen = static_cast<int>(SendMessageA(sheet->tab, TCM_GETCURSEL, 0, 0));
        if (!Show(*sheet, chosen)) SendMessageA(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(sheet->current), 0);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (lParam != 0 && GetParent(reinterpret_cast<HWND>(lParam)) == window) {
        Command(*sheet, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY: {
      // The sheet's pages go with it; their windows went with its children.
      for (HPROPSHEETPAGE page : sheet->pages) {
        page->window = nullptr;
        DestroyPropertySheetPage(page);
      }
      sheet->pages.clear();
      SetWindowLongPtrA(window, DWLP_USER, 0);
      if (sheet->modeless) delete sheet;
      return FALSE;
    }
    default: return FALSE;
  }
}

// The sheet's template: the tab control round the largest page, and the
// buttons below it at the right.

}  // namespace ksv::platform::ui::sheets
