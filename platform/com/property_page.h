// Property pages as OLE defines them: an object names the pages that edit
// it (ISpecifyPropertyPages); each page is an object of its own
// (IPropertyPage) that a frame creates by class identifier, hands the
// objects to edit, and shows inside its own window through a site
// (IPropertyPageSite) the page reports changes to.
#pragma once

#include "include/win32_types.h"
#include "platform/com/unknown.h"

struct tagMSG;  // MSG (platform/ui/user32.h): only passed through here
typedef DWORD LCID;
typedef const RECT* LPCRECT;

// A counted array of GUIDs in task memory; the caller frees pElems.
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};

struct ISpecifyPropertyPages : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("B196B28B-BAB4-101A-B69C-00AA00341D07");
  // The class identifiers of the object's property pages.
  virtual HRESULT GetPages(CAUUID* pages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

// What a page tells the frame about itself. The strings are in task memory
// and become the caller's (CoTaskMemFree); null when the page has none.
struct PROPPAGEINFO {
  ULONG cb;             // sizeof(PROPPAGEINFO)
  LPOLESTR pszTitle;    // the page's tab text
  SIZE size;            // the page's dialog, in pixels
  LPOLESTR pszDocString;
  LPOLESTR pszHelpFile;
  DWORD dwHelpContext;
};
typedef PROPPAGEINFO* LPPROPPAGEINFO;

// IPropertyPageSite::OnStatusChange flags.
inline constexpr DWORD PROPPAGESTATUS_DIRTY = 0x1;     // values changed: update Apply
inline constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x2;  // a good moment to apply
inline constexpr DWORD PROPPAGESTATUS_CLEAN = 0x4;

// The frame's side of one page.
struct IPropertyPageSite : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("B196B28C-BAB4-101A-B69C-00AA00341D07");
  virtual HRESULT OnStatusChange(DWORD flags) = 0;
  virtual HRESULT GetLocaleID(LCID* locale) = 0;
  // The frame's container object; E_NOTIMPL when it offers none.
  virtual HRESULT GetPageContainer(IUnknown** container) = 0;
  // A key the page did not want, for the frame's own accelerators; S_OK
  // when the frame took it.
  virtual HRESULT TranslateAccelerator(tagMSG* message) = 0;

 protected:
  ~IPropertyPageSite() = default;
};

// One page. The frame calls SetPageSite, SetObjects, then Activate (the
// page's dialog, a child of `parent` at `rect`), Show, Move, Apply as the
// person asks, Deactivate, SetObjects(0, null) and SetPageSite(null).
struct IPropertyPage : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("B196B28D-BAB4-101A-B69C-00AA00341D07");
  virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
  virtual HRESULT Activate(HWND parent, LPCRECT rect, BOOL modal) = 0;
  virtual HRESULT Deactivate() = 0;
  virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
  // The objects the page edits, counted by the page; a count of 0 releases them.
  virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
  virtual HRESULT Show(UINT command) = 0;
  virtual HRESULT Move(LPCRECT rect) = 0;
  // S_OK when changed since activated or last applied, else S_FALSE.
  virtual HRESULT IsPageDirty() = 0;
  virtual HRESULT Apply() = 0;
  virtual HRESULT Help(LPCOLESTR helpDirectory) = 0;
  // S_OK when the page took the key, S_FALSE when not.
  virtual HRESULT TranslateAccelerator(tagMSG* message) = 0;

 protected:
  ~IPropertyPage() = default;
};

inline constexpr IID IID_ISpecifyPropertyPages = ISpecifyPropertyPages::kIid;
inline constexpr IID IID_IPropertyPageSite = IPropertyPageSite::kIid;
inline constexpr IID IID_IPropertyPage = IPropertyPage::kIid;
