// OleCreatePropertyFrame over the property sheet: each COM page lives in a
// sheet page of its size, activated there when the sheet makes it, applied
// on PSN_APPLY when it says it is dirty.
#include "platform/ui/property_frame.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::ui {
namespace {

using com::ComPtr;

// Posted by the first page to itself once made: the sheet's loop runs when
// it arrives.
constexpr UINT kCallDriver = WM_USER + 0x201;

std::mutex driverMutex;
PropertyFrameDriver driver;

PropertyFrameDriver CurrentDriver() {
  std::lock_guard guard(driverMutex);
  return driver;
}

struct Page {
  ComPtr<IPropertyPage> page;
  std::string title;
  SIZE size{};
  HWND window = nullptr;  // the sheet page it is activated in
};

struct Frame {
  std::vector<Page> pages;
  PropertyFrameDriver driver;
  POINT place{};  // from the owner's corner
};

// The frame's side of one page: a change makes Apply available.
class PageSite final : public com::ComObject<IPropertyPageSite> {
 public:
  PageSite(Page* page, LCID locale) : page_(page), locale_(locale) {}
  void Detach() { page_ = nullptr; }

  HRESULT OnStatusChange(DWORD flags) override {
    if (page_ != nullptr && page_->window != nullptr && (flags & PROPPAGESTATUS_DIRTY) != 0) {
      SendMessageA(GetParent(page_->window), PSM_CHANGED, reinterpret_cast<WPARAM>(page_->window), 0);
    }
    return S_OK;
  }
  HRESULT GetLocaleID(LCID* locale) override {
    if (locale == nullptr) return E_POINTER;
    *locale = locale_;
    return S_OK;
  }
  HRESULT GetPageContainer(IUnknown** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT TranslateAccelerator(tagMSG*) override { return S_FALSE; }

 private:
  Page* page_;
  const LCID locale_;
};

struct HostedPage;

struct PageContext {
  Frame* frame;  // null for a page hosted alone (CreateComPropertySheetPage)
  Page* page;
  bool first;
  HostedPage* hosted = nullptr;  // the alone page's, which owns all of it
};

INT_PTR PageProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
  auto* context = reinterpret_cast<PageContext*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      context = reinterpret_cast<PageContext*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
      SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(context));
      Page& page = *context->page;
      page.window = window;
      RECT rect{};
      GetClientRect(window, &rect);
      if (SUCCEEDED(page.page->Activate(window, &rect, TRUE))) page.page->Show(SW_SHOW);
      // A page may have said it changed before there was a sheet to tell.
      if (page.page->IsPageDirty() == S_OK) SendMessageA(GetParent(window), PSM_CHANGED, reinterpret_cast<WPARAM>(window), 0);
      if (context->first) PostMessageA(window, kCallDriver, 0, 0);
      return TRUE;
    }
    case kCallDriver:
      if (context != nullptr && context->frame != nullptr && context->frame->driver) {
        context->frame->driver(GetParent(window));
      }
      return TRUE;
    case WM_NOTIFY: {
      if (context == nullptr || reinterpret_cast<const NMHDR*>(lParam)->code != PSN_APPLY) return FALSE;
      IPropertyPage* page = context->page->page.Get();
      const bool failed = page->IsPageDirty() == S_OK && FAILED(page->Apply());
      SetWindowLongPtrA(window, DWLP_MSGRESULT, failed ? PSNRET_INVALID_NOCHANGEPAGE : PSNRET_NOERROR);
      return TRUE;
    }
    case WM_DESTROY:
      // Before the page's own window goes with this one's children.
      if (context != nullptr) {
        context->page->page->Deactivate();
        context->page->window = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// Pixels to dialog units (the pages' templates are in dialog units).
int UnitsAcross(int pixels) { return (pixels * 4 + kDialogBaseUnitX - 1) / kDialogBaseUnitX; }
int UnitsDown(int pixels) { return (pixels * 8 + kDialogBaseUnitY - 1) / kDialogBaseUnitY; }

thread_local const Frame* framePlaced = nullptr;

// Puts the sheet at the frame's place from its owner's corner.
int PlaceSheet(HWND, UINT message, LPARAM lParam) {
  if (message == PSCB_PRECREATE && framePlaced != nullptr) {
    auto* sheetTemplate = reinterpret_cast<DLGTEMPLATE*>(lParam);
    sheetTemplate->x = static_cast<short>(UnitsAcross(framePlaced->place.x));
    sheetTemplate->y = static_cast<short>(UnitsDown(framePlaced->place.y));
  }
  return 0;
}

// The page's title and size, as it gives them.
void ReadPageInfo(Page& page) {
  PROPPAGEINFO info{};
  info.cb = sizeof info;
  if (SUCCEEDED(page.page->GetPageInfo(&info))) {
    page.title = info.pszTitle != nullptr ? com::Utf16ToUtf8(com::WideView(info.pszTitle)) : "";
    page.size = info.size;
  }
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszDocString);
  CoTaskMemFree(info.pszHelpFile);
}

// The sheet page's template: the COM page's size (at least 200 x 120
// pixels), its title.
DialogTemplate SheetPageTemplate(const Page& page) {
  const LONG width = std::max<LONG>(page.size.cx, 200), height = std::max<LONG>(page.size.cy, 120);
  return DialogTemplateBuilder(WS_CHILD | DS_CONTROL, 0, 0, UnitsAcross(int(width)), UnitsDown(int(height)),
                               page.title)
      .Build();
}

// A COM page hosted alone in a sheet page: all of it lives until the sheet
// page's handle goes.
struct HostedPage {
  Page page;
  ComPtr<PageSite> site;
  PageContext context{nullptr, &page, false, this};
};

UINT ReleaseHostedPage(HWND, UINT message, PROPSHEETPAGEA* sheetPage) {
  if (message != PSPCB_RELEASE) return 1;
  HostedPage* hosted = reinterpret_cast<PageContext*>(sheetPage->lParam)->hosted;
  hosted->page.page->SetObjects(0, nullptr);
  hosted->page.page->SetPageSite(nullptr);
  hosted->site->Detach();
  delete hosted;
  return 1;
}

// Makes the pages, hands them the site and the objects and learns their
// titles and sizes.
HRESULT MakePages(Frame& frame, std::vector<ComPtr<PageSite>>& sites, LCID locale, ULONG objectCount,
                  IUnknown** objects, ULONG pageCount, const CLSID* classes) {
  frame.pages.reserve(pageCount);  // the sites point at their pages
  for (ULONG index = 0; index < pageCount; ++index) {
    ComPtr<IPropertyPage> made;
    HRESULT result = CoCreateInstance(classes[index], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                      reinterpret_cast<void**>(made.GetAddressOf()));
    if (FAILED(result)) return result;
    frame.pages.push_back(Page{made, "", {}, nullptr});
    sites.push_back(ComPtr<PageSite>::Adopt(new PageSite(&frame.pages.back(), locale)));
    made->SetPageSite(sites.back().Get());  // from here it is given back its site at the end
    result = made->SetObjects(objectCount, objects);
    if (FAILED(result)) return result;
    ReadPageInfo(frame.pages.back());
  }
  return S_OK;
}

void ReleasePages(Frame& frame, std::vector<ComPtr<PageSite>>& sites) {
  for (Page& page : frame.pages) {
    page.page->SetObjects(0, nullptr);
    page.page->SetPageSite(nullptr);
  }
  for (auto& site : sites) site->Detach();
  frame.pages.clear();
}

}  // namespace

PropertyFrameDriver SetPropertyFrameDriver(PropertyFrameDriver replacement) {
  std::lock_guard guard(driverMutex);
  std::swap(driver, replacement);
  return replacement;
}

HPROPSHEETPAGE CreateComPropertySheetPage(IPropertyPage* page, LCID locale, const char* title) {
  if (page == nullptr) return nullptr;
  auto hosted = std::make_unique<HostedPage>();
  hosted->page.page = ComPtr<IPropertyPage>(page);
  hosted->site = ComPtr<PageSite>::Adopt(new PageSite(&hosted->page, locale));
  page->SetPageSite(hosted->site.Get());
  ReadPageInfo(hosted->page);
  if (title != nullptr) hosted->page.title = title;
  const DialogTemplate dialog = SheetPageTemplate(hosted->page);
  PROPSHEETPAGEA sheetPage{};
  sheetPage.dwSize = sizeof sheetPage;
  sheetPage.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE | PSP_USECALLBACK;
  sheetPage.pResource = dialog.get();
  sheetPage.pszTitle = hosted->page.title.c_str();
  sheetPage.pfnDlgProc = PageProcedure;
  sheetPage.lParam = reinterpret_cast<LPARAM>(&hosted->context);
  sheetPage.pfnCallback = ReleaseHostedPage;
  HPROPSHEETPAGE made = CreatePropertySheetPageA(&sheetPage);  // copies the template and the title
  if (made == nullptr) {
    page->SetPageSite(nullptr);
    hosted->site->Detach();
    return nullptr;
  }
  hosted.release();  // ReleaseHostedPage's now
  return made;
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount,
                                          IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID locale,
                                          DWORD, void*) {
  if (objectCount == 0 || objects == nullptr || pageCount == 0 || pages == nullptr) return E_INVALIDARG;
  Frame frame;
  frame.driver = CurrentDriver();
  if (!frame.driver) return S_OK;  // nobody there to close it
  frame.place = POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
  std::vector<ksv::com::ComPtr<PageSite>> sites;
  const HRESULT made = MakePages(frame, sites, locale, objectCount, objects, pageCount, pages);
  if (FAILED(made)) {
    ReleasePages(frame, sites);
    return made;
  }
  // One sheet page of each COM page's size, its title on the tab.
  std::vector<DialogTemplate> templates;
  std::vector<PageContext> contexts;
  std::vector<PROPSHEETPAGEA> sheetPages(frame.pages.size());
  templates.reserve(frame.pages.size());
  contexts.reserve(frame.pages.size());
  for (size_t index = 0; index < frame.pages.size(); ++index) {
    const Page& page = frame.pages[index];
    templates.push_back(SheetPageTemplate(page));
    contexts.push_back(PageContext{&frame, &frame.pages[index], index == 0, nullptr});
    PROPSHEETPAGEA& sheetPage = sheetPages[index];
    sheetPage.dwSize = sizeof sheetPage;
    sheetPage.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    sheetPage.pResource = templates.back().get();
    sheetPage.pszTitle = page.title.c_str();
    sheetPage.pfnDlgProc = PageProcedure;
    sheetPage.lParam = reinterpret_cast<LPARAM>(&contexts.back());
  }
  const std::string title = caption != nullptr && *caption != 0
                                ? ksv::com::Utf16ToUtf8(ksv::com::WideView(caption)) + " Properties"
                                : std::string("Properties");
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
  header.hwndParent = owner;
  header.pszCaption = title.c_str();
  header.nPages = static_cast<UINT>(sheetPages.size());
  header.ppsp = sheetPages.data();
  header.pfnCallback = PlaceSheet;
  framePlaced = &frame;
  AnnounceAttended();  // the frame's driver works it
  const INT_PTR result = PropertySheetA(&header);
  ForgetAnnouncement();
  framePlaced = nullptr;
  ReleasePages(frame, sites);
  return result == -1 ? E_FAIL : S_OK;
}
