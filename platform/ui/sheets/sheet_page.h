// A property sheet page behind its handle: the sheet's copy of the
// caller's PROPSHEETPAGEA (with any bytes the caller put after it), its
// template made into a child dialog's, and its window once made.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ui/sheets/property_sheets.h"

struct _PSP {
  std::vector<std::byte> header;  // the caller's dwSize bytes; PROPSHEETPAGEA first
  std::vector<std::byte> dialog;  // the template, as a child dialog (DS_CONTROL | WS_CHILD)
  std::string title;              // the tab's text
  short width = 0, height = 0;    // in dialog units
  HWND window = nullptr;
  bool changed = false;           // PSM_CHANGED since the last apply

  PROPSHEETPAGEA* page() { return reinterpret_cast<PROPSHEETPAGEA*>(header.data()); }
};

namespace ksv::platform::ui::sheets {

// Whether `page` is a live page handle.
bool IsPage(HPROPSHEETPAGE page);
// Makes the page's window, a child of `sheet` at `rect`, hidden; false when
// its callback refused or the dialog could not be made.
bool CreatePageWindow(HPROPSHEETPAGE page, HWND sheet, const RECT& rect);

}  // namespace ksv::platform::ui::sheets
