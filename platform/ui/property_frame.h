// OleCreatePropertyFrame: a modal property sheet (sheets/property_sheets.h)
// that shows property pages (COM objects) for the given objects, with OK,
// Cancel and Apply and a tab for each page, and returns when it is closed.
//
// Who works the frame is set per process, as the ACM's format chooser is:
// the driver is called on the frame's thread once the frame's own loop
// runs, with the frame; it may feed it input (platform/ui/input.h), post it
// messages, end it itself, or leave it to a person at the screen. With no
// driver nobody would ever close the frame, so none is shown and the call
// returns S_OK at once, as if the person had cancelled.
//
// OK applies every page that says it is dirty and closes; Apply does the
// same without closing; Cancel (or Escape, or closing the window) applies
// nothing. The pages are made from their class identifiers, given a site
// and the objects, activated one at a time in the frame, and at the end
// deactivated and given back their objects and site.
#pragma once

#include <functional>

#include "platform/com/property_page.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/ui/user32.h"

extern "C" {

// `x`, `y`: the frame's place in pixels from the owner's corner. `caption`
// names the object in the title (null: "Properties"). E_INVALIDARG without
// objects or pages; a page class that cannot be made fails the call with
// CoCreateInstance's error.
HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID locale,
                               DWORD reserved, void* reservedPointer);

}  // extern "C"

namespace ksv::platform::ui {

using PropertyFrameDriver = std::function<void(HWND frame)>;

// Sets the driver (an empty one: no frame is shown); returns the one it
// replaces.
PropertyFrameDriver SetPropertyFrameDriver(PropertyFrameDriver driver);

// A sheet page, for any property sheet, that shows one COM property page
// the caller made and gave its objects: the page gets a site now, is
// activated when the sheet makes the sheet page, applied on PSN_APPLY when
// it says it is dirty and deactivated when the sheet page goes; when the
// handle is destroyed (a sheet destroys its pages) it is given back its
// objects and site. `title` names its tab (null: the page's own title).
// Null when the sheet page cannot be made.
HPROPSHEETPAGE CreateComPropertySheetPage(IPropertyPage* page, LCID locale, const char* title = nullptr);

// The frame's own controls: the sheet's (OK and Cancel are IDOK and IDCANCEL).
inline constexpr int kFrameApplyId = ID_APPLY_NOW;
inline constexpr int kFramePageListId = kSheetTabId;  // the tab control of the pages' titles

}  // namespace ksv::platform::ui
