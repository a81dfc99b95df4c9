// PropertySheetA: the sheet's template round its largest page, its pages,
// and the modal loop.
#include <algorithm>
#include <memory>
#include <string>

#include "platform/sync/sync.h"
#include "platform/ui/answerer.h"
#include "platform/ui/controls/control_paint.h"
#include "platform/ui/dialogs/dialog_state.h"
#include "platform/ui/dialogs/dialog_template.h"
#include "platform/ui/sheets/sheet_window.h"

namespace ksv::platform::ui::sheets {
namespace {


// Layout in dialog units: a margin round the tab control, and the button row.
constexpr int kMargin = 4;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
// What the tab control takes round its display area, in dialog units
// (its 20-pixel strip and 4-pixel margins).
constexpr int kTabAcross = 6;
constexpr int kTabDown = 17;

DialogTemplate SheetTemplate(const PROPSHEETHEADERA& header, Sheet& sheet) {
  int pageWidth = 100, pageHeight = 50;
  for (HPROPSHEETPAGE page : sheet.pages) {
    pageWidth = std::max<int>(pageWidth, page->width);
    pageHeight = std::max<int>(pageHeight, page->height);
  }
  // Wide enough for every tab in one row (the tabs do not wrap).
  int tabsPixels = 4;
  for (HPROPSHEETPAGE page : sheet.pages) tabsPixels += controls::Measure(nullptr, page->title).cx + 12;
  const int tabWidth = std::max(pageWidth + kTabAcross, (tabsPixels * 4 + kDialogBaseUnitX - 1) / kDialogBaseUnitX);
  const int tabHeight = pageHeight + kTabDown;
  const bool apply = (header.dwFlags & PSH_NOAPPLYNOW) == 0;
  const int buttons = apply ? 3 : 2;
  const int width = std::max(2 * kMargin + tabWidth, kMargin + buttons * (kButtonWidth + kButtonGap));
  const int buttonsTop = kMargin + tabHeight + kMargin;
  std::string title = header.pszCaption != nullptr ? header.pszCaption : "";
  if ((header.dwFlags & PSH_PROPTITLE) != 0) title = "Properties for " + title;
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, width,
                                buttonsTop + kButtonHeight + kMargin, title);
  builder.Font(8, "MS Sans Serif").ExtendedStyle(WS_EX_CONTROLPARENT);
  DialogTemplateBuilder::Control tab;
  tab.className = WC_TABCONTROLA;
  tab.id = kSheetTabId;
  tab.style = WS_TABSTOP | WS_GROUP;
  tab.x = kMargin;
  tab.y = kMargin;
  tab.width = tabWidth;
  tab.height = tabHeight;
  builder.Add(tab);
  sheet.tabUnits = RECT{kMargin, kMargin, kMargin + tabWidth, kMargin + tabHeight};
  int x = width - kMargin - buttons * kButtonWidth - (buttons - 1) * kButtonGap;
  builder.DefPushButton("OK", IDOK, x, buttonsTop, kButtonWidth, kButtonHeight, WS_TABSTOP | WS_GROUP);
  x += kButtonWidth + kButtonGap;
  builder.PushButton("Cancel", IDCANCEL, x, buttonsTop, kButtonWidth, kButtonHeight, WS_TABSTOP);
  if (apply) {
    x += kButtonWidth + kButtonGap;
    builder.PushButton("&Apply", ID_APPLY_NOW, x, buttonsTop, kButtonWidth, kButtonHeight, WS_TABSTOP | WS_DISABLED);
  }
  return builder.Build();
}

// The pages of the header: made here from PROPSHEETPAGEA records, or the
// handles given; false (with every page made here gone) when one fails.
bool CollectPages(const PROPSHEETHEADERA& header, Sheet& sheet) {
  for (UINT index = 0; index < header.nPages; ++index) {
    HPROPSHEETPAGE page = nullptr;
    if ((header.dwFlags & PSH_PROPSHEETPAGE) != 0) {
      const auto* records = reinterpret_cast<const std::byte*>(header.ppsp);
      size_t offset = 0;
      for (UINT before = 0; before < index; ++before) {
        offset += reinterpret_cast<const PROPSHEETPAGEA*>(records + offset)->dwSize;
      }
      page = CreatePropertySheetPageA(reinterpret_cast<const PROPSHEETPAGEA*>(records + offset));
    } else if (IsPage(header.phpage[index])) {
      page = header.phpage[index];
    }
    if (page == nullptr) {
      const DWORD error = GetLastError();
      for (HPROPSHEETPAGE made : sheet.pages) DestroyPropertySheetPage(made);
      sheet.pages.clear();
      SetLastError(error != 0 ? error : ERROR_INVALID_PARAMETER);
      return false;
    }
    sheet.pages.push_back(page);
  }
  return true;
}

int StartPage(const PROPSHEETHEADERA& header, const Sheet& sheet) {
  if ((header.dwFlags & PSH_USEPSTARTPAGE) == 0) return static_cast<int>(header.nStartPage);
  for (size_t index = 0; index < sheet.pages.size(); ++index) {
    if (header.pStartPage != nullptr && sheet.pages[index]->title == header.pStartPage) return static_cast<int>(index);
  }
  return 0;
}
}  // namespace
}  // namespace ksv::platform::ui::sheets


using namespace ksv::platform::ui;
using namespace ksv::platform::ui::sheets;

extern "C" INT_PTR PropertySheetA(const PROPSHEETHEADERA* header) {
  if (header == nullptr || header->dwSize < sizeof(PROPSHEETHEADERA) || header->nPages == 0 ||
      (header->nPages != 0 && header->ppsp == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto sheet = std::make_unique<Sheet>();
  sheet->modeless = (header->dwFlags & PSH_MODELESS) != 0;
  if ((header->dwFlags & PSH_USECALLBACK) != 0) sheet->callback = header->pfnCallback;
  if (!CollectPages(*header, *sheet)) return -1;
  DialogTemplate sheetTemplate = SheetTemplate(*header, *sheet);
  // The caller's callback may change the template (a sheet made a child).
  if (sheet->callback != nullptr) {
    sheet->callback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(const_cast<DLGTEMPLATE*>(sheetTemplate.get())));
  }
  const int start = StartPage(*header, *sheet);
  Sheet* raw = sheet.get();
  HWND window = CreateDialogFromTemplate(sheetTemplate.bytes(), header->hInstance, header->hwndParent,
                                         SheetProcedure, reinterpret_cast<LPARAM>(raw));
  if (window == nullptr) {
    for (HPROPSHEETPAGE page : raw->pages) DestroyPropertySheetPage(page);
    return -1;
  }
  if (!Show(*raw, start) && !Show(*raw, 0)) {
    DestroyWindow(window);  // the pages go with it
    if (sheet->modeless) sheet.release();  // its window's end deleted it
    return -1;
  }
  if (raw->callback != nullptr) raw->callback(window, PSCB_INITIALIZED, 0);
  if (raw->modeless) {
    sheet.release();  // the window owns it now
    return reinterpret_cast<INT_PTR>(window);
  }
  // Modal: the dialog model's loop, as DialogBoxIndirectParamA runs it.
  HWND owner = header->hwndParent;
  while (owner != nullptr && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD) != 0) owner = GetParent(owner);
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner) != FALSE;
  if (disableOwner) EnableWindow(owner, FALSE);
  // EndDialog ends it too, as any modal dialog.
  const std::shared_ptr<dialogs::DialogState> state = dialogs::DialogOf(window);
  AnswerModal(window, ModalKind::PropertySheet);
  CancelIfUnattended(window, 0);
  MSG message{};
  while (IsWindow(window) && !raw->ended && state != nullptr && !state->ended) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (!IsDialogMessageA(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (disableOwner) EnableWindow(owner, TRUE);
  const INT_PTR result = raw->ended ? raw->result : state != nullptr && state->ended ? state->result.load() : 0;
  if (IsWindow(window)) DestroyWindow(window);
  return result;
}
