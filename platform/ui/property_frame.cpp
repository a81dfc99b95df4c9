#include "platform/ui/property_frame.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::ui {
namespace {

using com::ComPtr;

// Posted by the frame to itself once created: its loop runs when it arrives.
constexpr UINT kCallDriver = WM_USER + 0x201;

// The frame's layout in pixels: a margin, the page list's row, the pages'
// area and the button row.
constexpr int kMargin = 6;
constexpr int kListHeight = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

std::mutex driverMutex;
PropertyFrameDriver driver;

PropertyFrameDriver CurrentDriver() {
  std::lock_guard guard(driverMutex);
  return driver;
}

struct Frame;

// The frame's side of one page: a change makes Apply available.
class PageSite final : public com::ComObject<IPropertyPageSite> {
 public:
  PageSite(Frame* frame, LCID locale) : frame_(frame), locale_(locale) {}
  void Detach() { frame_ = nullptr; }

  HRESULT OnStatusChange(DWORD flags) override;
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
  Frame* frame_;
  const LCID locale_;
};

struct Page {
  ComPtr<IPropertyPage> page;
  std::string title;
  SIZE size{};
};

struct Frame {
  std::vector<Page> pages;
  PropertyFrameDriver driver;
  HWND window = nullptr;
  int active = -1;
  RECT pageRect{};
};

HRESULT PageSite::OnStatusChange(DWORD flags) {
  if (frame_ != nullptr && frame_->window != nullptr && (flags & PROPPAGESTATUS_DIRTY)) {
    EnableWindow(GetDlgItem(frame_->window, kFrameApplyId), TRUE);
  }
  return S_OK;
}

void Activate(Frame& frame, int index) {
  if (frame.active == index) return;
  if (frame.active >= 0) frame.pages[size_t(frame.active)].page->Deactivate();
  frame.active = -1;
  if (index < 0 || size_t(index) >= frame.pages.size()) return;
  IPropertyPage* page = frame.pages[size_t(index)].page.Get();
  if (SUCCEEDED(page->Activate(frame.window, &frame.pageRect, TRUE))) {
    page->Show(SW_SHOW);
    frame.active = index;
  }
}

// Applies every dirty page; false when one of them refused.
bool ApplyAll(Frame& frame) {
  bool applied = true;
  for (Page& page : frame.pages) {
    if (page.page->IsPageDirty() == S_OK && FAILED(page.page->Apply())) applied = false;
  }
  if (applied) EnableWindow(GetDlgItem(frame.window, kFrameApplyId), FALSE);
  return applied;
}

INT_PTR FrameProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      frame = reinterpret_cast<Frame*>(lParam);
      frame->window = dialog;
      for (const Page& page : frame->pages) {
        SendDlgItemMessageA(dialog, kFramePageListId, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(page.title.c_str()));
      }
      SendDlgItemMessageA(dialog, kFramePageListId, CB_SETCURSEL, 0, 0);
      // A page may have said it changed before there was a frame to tell.
      for (const Page& page : frame->pages) {
        if (page.page->IsPageDirty() == S_OK) EnableWindow(GetDlgItem(dialog, kFrameApplyId), TRUE);
      }
      Activate(*frame, 0);
      PostMessageA(dialog, kCallDriver, 0, 0);
      return TRUE;
    }
    case kCallDriver:
      if (frame != nullptr && frame->driver) frame->driver(dialog);
      return TRUE;
    case WM_COMMAND: {
      if (frame == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      if (id == IDOK) {
        if (ApplyAll(*frame)) EndDialog(dialog, IDOK);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if (id == kFrameApplyId) {
        ApplyAll(*frame);
      } else if (id == kFramePageListId && HIWORD(wParam) == CBN_SELCHANGE) {
        Activate(*frame, int(SendDlgItemMessageA(dialog, kFramePageListId, CB_GETCURSEL, 0, 0)));
      }
      return TRUE;
    }
    case WM_DESTROY:
      // Before the pages' windows go with the frame's children.
      if (frame != nullptr) {
        Activate(*frame, -1);
        frame->window = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// Pixels to dialog units (the frame's template is in dialog units).
int UnitsAcross(int pixels) { return (pixels * 4 + kDialogBaseUnitX - 1) / kDialogBaseUnitX; }
int UnitsDown(int pixels) { return (pixels * 8 + kDialogBaseUnitY - 1) / kDialogBaseUnitY; }

DialogTemplate FrameTemplate(const Frame& frame, UINT x, UINT y, const std::string& title) {
  const int width = frame.pageRect.right + kMargin;
  const int buttonsTop = frame.pageRect.bottom + kMargin;
  const int height = buttonsTop + kButtonHeight + kMargin;
  const auto across = [](int pixels) { return UnitsAcross(pixels); };
  const auto down = [](int pixels) { return UnitsDown(pixels); };
  const int buttonW = across(kButtonWidth), buttonH = down(kButtonHeight);
  const int right = across(width - kMargin);
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME,
                                across(int(x)), down(int(y)), across(width), down(height), title);
  builder.Font(8, "MS Sans Serif")
      .ComboBox(kFramePageListId, across(kMargin), down(kMargin), right - across(kMargin), down(kListHeight) * 6,
                CBS_DROPDOWNLIST | WS_TABSTOP)
      .DefPushButton("OK", IDOK, right - 3 * buttonW - 8, down(buttonsTop), buttonW, buttonH, WS_TABSTOP | WS_GROUP)
      .PushButton("Cancel", IDCANCEL, right - 2 * buttonW - 4, down(buttonsTop), buttonW, buttonH, WS_TABSTOP)
      .PushButton("&Apply", kFrameApplyId, right - buttonW, down(buttonsTop), buttonW, buttonH,
                  WS_TABSTOP | WS_DISABLED);
  return builder.Build();
}

// Makes the pages, hands them the site and the objects and learns their
// titles and sizes.
HRESULT MakePages(Frame& frame, PageSite* site, ULONG objectCount, IUnknown** objects, ULONG pageCount,
                  const CLSID* classes) {
  for (ULONG index = 0; index < pageCount; ++index) {
    Page page;
    HRESULT result = CoCreateInstance(classes[index], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                      reinterpret_cast<void**>(page.page.GetAddressOf()));
    if (FAILED(result)) return result;
    page.page->SetPageSite(site);
    frame.pages.push_back(page);  // from here it is given back its site at the end
    result = page.page->SetObjects(objectCount, objects);
    if (FAILED(result)) return result;
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(page.page->GetPageInfo(&info))) {
      frame.pages.back().title = info.pszTitle != nullptr ? com::Utf16ToUtf8(com::WideView(info.pszTitle)) : "";
      frame.pages.back().size = info.size;
    }
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
  }
  return S_OK;
}

void ReleasePages(Frame& frame) {
  for (Page& page : frame.pages) {
    page.page->SetObjects(0, nullptr);
    page.page->SetPageSite(nullptr);
  }
  frame.pages.clear();
}

}  // namespace

PropertyFrameDriver SetPropertyFrameDriver(PropertyFrameDriver replacement) {
  std::lock_guard guard(driverMutex);
  std::swap(driver, replacement);
  return replacement;
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
  auto site = ksv::com::ComPtr<PageSite>::Adopt(new PageSite(&frame, locale));
  const HRESULT made = MakePages(frame, site.Get(), objectCount, objects, pageCount, pages);
  if (FAILED(made)) {
    ReleasePages(frame);
    site->Detach();
    return made;
  }
  LONG width = 200, height = 120;
  for (const Page& page : frame.pages) {
    width = std::max(width, page.size.cx);
    height = std::max(height, page.size.cy);
  }
  frame.pageRect = RECT{kMargin, kMargin + kListHeight + kMargin, kMargin + width,
                        kMargin + kListHeight + kMargin + height};
  const std::string title = caption != nullptr && *caption != 0
                                ? ksv::com::Utf16ToUtf8(ksv::com::WideView(caption)) + " Properties"
                                : std::string("Properties");
  const DialogTemplate frameTemplate = FrameTemplate(frame, x, y, title);
  const INT_PTR result =
      DialogBoxIndirectParamA(nullptr, frameTemplate.get(), owner, FrameProcedure, reinterpret_cast<LPARAM>(&frame));
  ReleasePages(frame);
  site->Detach();
  return result == -1 ? E_FAIL : S_OK;
}
