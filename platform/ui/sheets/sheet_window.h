// The sheet's window: what it keeps, and its dialog procedure.
#pragma once

#include <vector>

#include "platform/ui/sheets/sheet_page.h"

namespace ksv::platform::ui::sheets {

// One sheet; a modal one lives on PropertySheetA's stack, a modeless one
// until its window ends.
struct Sheet {
  std::vector<HPROPSHEETPAGE> pages;
  PFNPROPSHEETCALLBACK callback = nullptr;
  bool modeless = false;
  HWND window = nullptr;
  HWND tab = nullptr;
  int current = -1;
  RECT tabUnits{};       // the tab control, in dialog units
  RECT pageRect{};       // where pages go, in the sheet's client coordinates
  HPROPSHEETPAGE creating = nullptr;  // the page whose window is being made
  bool ended = false;    // closed by OK or Cancel
  bool applied = false;  // some apply went through
  INT_PTR result = 0;
};

// The sheet's dialog procedure; WM_INITDIALOG's lParam is its Sheet.
INT_PTR SheetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Shows page `index`, making its window the first time; false when it
// cannot be made or refuses (PSN_SETACTIVE -1), and the sheet stays.
bool Show(Sheet& sheet, int index);

}  // namespace ksv::platform::ui::sheets
