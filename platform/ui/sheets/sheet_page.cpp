// Property sheet pages: their handles, templates and windows.
#include "platform/ui/sheets/sheet_page.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "platform/resources/resources.h"
#include "platform/sync/sync.h"
#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::ui {
namespace {

std::mutex pagesMutex;
std::set<HPROPSHEETPAGE>& LivePages() {
  static std::set<HPROPSHEETPAGE> pages;
  return pages;
}

// The template's bytes: an indirect one a DialogTemplate holds, or the
// module's dialog resource.
std::optional<std::span<const std::byte>> TemplateOf(const PROPSHEETPAGEA& page) {
  if ((page.dwFlags & PSP_DLGINDIRECT) != 0) return KnownTemplateBlock(page.pResource);
  const std::span<const uint8_t> bytes = resources::FindResourceBytes(page.hInstance, page.pszTemplate, RT_DIALOG);
  if (bytes.empty()) return std::nullopt;
  return std::as_bytes(bytes);
}

// The style word of a standard or extended template.
size_t StyleOffset(std::span<const std::byte> bytes) {
  WORD signature = 0;
  if (bytes.size() >= 4) std::memcpy(&signature, bytes.data() + 2, sizeof signature);
  return signature == 0xFFFF ? 12 : 0;
}

}  // namespace

}  // namespace ksv::platform::ui

namespace ksv::platform::ui::sheets {

bool IsPage(HPROPSHEETPAGE page) {
  std::lock_guard guard(pagesMutex);
  return page != nullptr && LivePages().count(page) != 0;
}

bool CreatePageWindow(HPROPSHEETPAGE page, HWND sheet, const RECT& rect) {
  PROPSHEETPAGEA* header = page->page();
  if ((header->dwFlags & PSP_USECALLBACK) != 0 && header->pfnCallback != nullptr &&
      header->pfnCallback(nullptr, PSPCB_CREATE, header) == 0) {
    return false;
  }
  page->window = CreateDialogFromTemplate(page->dialog, header->hInstance, sheet, header->pfnDlgProc,
                                          reinterpret_cast<LPARAM>(header));
  if (page->window == nullptr) return false;
  SetWindowPos(page->window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER);
  return true;
}

}  // namespace ksv::platform::ui::sheets

using namespace ksv::platform::ui;

extern "C" {

HPROPSHEETPAGE CreatePropertySheetPageA(const PROPSHEETPAGEA* source) {
  if (source == nullptr || source->dwSize < sizeof(PROPSHEETPAGEA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::optional<std::span<const std::byte>> bytes = TemplateOf(*source);
  if (!bytes) {
    SetLastError((source->dwFlags & PSP_DLGINDIRECT) != 0 ? ERROR_INVALID_PARAMETER : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const std::optional<ParsedDialog> parsed = ParseDialogTemplate(*bytes);
  if (!parsed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto page = std::make_unique<_PSP>();
  const auto* start = reinterpret_cast<const std::byte*>(source);
  page->header.assign(start, start + source->dwSize);
  page->dialog.assign(bytes->begin(), bytes->end());
  // A page is a child dialog of the sheet, shown when chosen.
  DWORD style = parsed->style;
  style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME)) | WS_CHILD | DS_CONTROL;
  std::memcpy(page->dialog.data() + StyleOffset(page->dialog), &style, sizeof style);
  page->title = (source->dwFlags & PSP_USETITLE) != 0 && source->pszTitle != nullptr ? source->pszTitle : parsed->title;
  page->width = parsed->width;
  page->height = parsed->height;
  PROPSHEETPAGEA* header = page->page();
  // The title and template pointers are the caller's; the sheet keeps its own.
  header->pszTitle = page->title.c_str();
  if ((header->dwFlags & PSP_USEREFPARENT) != 0 && header->pcRefParent != nullptr) ++*header->pcRefParent;
  if ((header->dwFlags & PSP_USECALLBACK) != 0 && header->pfnCallback != nullptr) {
    header->pfnCallback(nullptr, PSPCB_ADDREF, header);
  }
  HPROPSHEETPAGE handle = page.release();
  std::lock_guard guard(pagesMutex);
  LivePages().insert(handle);
  return handle;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  {
    std::lock_guard guard(pagesMutex);
    if (page == nullptr || LivePages().erase(page) == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  std::unique_ptr<_PSP> owned(page);
  if (owned->window != nullptr && IsWindow(owned->window)) DestroyWindow(owned->window);
  PROPSHEETPAGEA* header = owned->page();
  if ((header->dwFlags & PSP_USECALLBACK) != 0 && header->pfnCallback != nullptr) {
    header->pfnCallback(nullptr, PSPCB_RELEASE, header);
  }
  if ((header->dwFlags & PSP_USEREFPARENT) != 0 && header->pcRefParent != nullptr) --*header->pcRefParent;
  return TRUE;
}

}  // extern "C"
