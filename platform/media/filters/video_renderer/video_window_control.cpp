// IVideoWindow on the Video Renderer: thin wrappers over its window, as
// the platform's are. Properties the window does not have (the message
// drain, the border colour, the palette, the cursor) are kept and reported
// back; full-screen mode is not offered.
#include <string>

#include "platform/com/wide_text.h"
#include "platform/media/filters/video_renderer/video_renderer.h"

namespace ksv::media::videorenderer {
namespace {

// Styles the platform does not let an application put on the video window.
constexpr LONG kRefusedStyles = 0x08000000 /* WS_DISABLED */ | 0x00100000 /* WS_HSCROLL */ |
                                0x00200000 /* WS_VSCROLL */ | 0x01000000 /* WS_MAXIMIZE */ |
                                0x20000000 /* WS_MINIMIZE, WS_ICONIC */;

}  // namespace

HRESULT VideoRenderer::Usable() const {
  if (!m_pInputPin->IsConnected()) return VFW_E_NOT_CONNECTED;
  return window_.handle() != nullptr ? S_OK : E_UNEXPECTED;
}

#define KSV_CHECK_USABLE(pointer)                 \
  do {                                            \
    if ((pointer) == nullptr) return E_POINTER;   \
    if (HRESULT usable = Usable(); FAILED(usable)) return usable; \
  } while (false)
#define KSV_CHECK_CONNECTED()                                     \
  do {                                                            \
    if (HRESULT usable = Usable(); FAILED(usable)) return usable; \
  } while (false)

HRESULT VideoRenderer::put_Caption(BSTR caption) {
  KSV_CHECK_CONNECTED();
  const std::string text = com::Utf16ToUtf8(com::BstrView(caption));
  return SetWindowTextA(window_.handle(), text.c_str()) ? S_OK : E_FAIL;
}

HRESULT VideoRenderer::get_Caption(BSTR* caption) {
  KSV_CHECK_USABLE(caption);
  const int length = GetWindowTextLengthA(window_.handle());
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window_.handle(), text.data(), length + 1)));
  *caption = com::BstrFromUtf8(text);
  return *caption != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VideoRenderer::put_WindowStyle(LONG style) {
  KSV_CHECK_CONNECTED();
  if ((style & kRefusedStyles) != 0) return E_INVALIDARG;
  // Visibility stays as put_Visible left it.
  const LONG visible = GetWindowLongA(window_.handle(), GWL_STYLE) & WS_VISIBLE;
  SetWindowLongA(window_.handle(), GWL_STYLE, (style & ~LONG(WS_VISIBLE)) | visible);
  return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG* style) {
  KSV_CHECK_USABLE(style);
  *style = GetWindowLongA(window_.handle(), GWL_STYLE);
  return S_OK;
}

HRESULT VideoRenderer::put_WindowStyleEx(LONG style) {
  KSV_CHECK_CONNECTED();
  SetWindowLongA(window_.handle(), GWL_EXSTYLE, style);
  return S_OK;
}

HRESULT VideoRenderer::get_WindowStyleEx(LONG* style) {
  KSV_CHECK_USABLE(style);
  *style = GetWindowLongA(window_.handle(), GWL_EXSTYLE);
  return S_OK;
}

HRESULT VideoRenderer::put_AutoShow(LONG autoShow) {
  KSV_CHECK_CONNECTED();
  CAutoLock lock(&m_InterfaceLock);
  autoShow_ = autoShow != OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::get_AutoShow(LONG* autoShow) {
  KSV_CHECK_USABLE(autoShow);
  CAutoLock lock(&m_InterfaceLock);
  *autoShow = autoShow_ ? OATRUE : OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::put_WindowState(LONG state) {
  KSV_CHECK_CONNECTED();
  ShowWindow(window_.handle(), static_cast<int>(state));
  return S_OK;
}

HRESULT VideoRenderer::get_WindowState(LONG* state) {
  KSV_CHECK_USABLE(state);
  const bool shown = (GetWindowLongA(window_.handle(), GWL_STYLE) & WS_VISIBLE) != 0;
  *state = shown ? SW_SHOW : SW_HIDE;
  return S_OK;
}

HRESULT VideoRenderer::put_BackgroundPalette(LONG palette) {
  KSV_CHECK_CONNECTED();
  CAutoLock lock(&m_InterfaceLock);
  backgroundPalette_ = palette;
  return S_OK;
}

HRESULT VideoRenderer::get_BackgroundPalette(LONG* palette) {
  KSV_CHECK_USABLE(palette);
  CAutoLock lock(&m_InterfaceLock);
  *palette = backgroundPalette_;
  return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible) {
  KSV_CHECK_CONNECTED();
  if (visible != OATRUE && visible != OAFALSE) return E_INVALIDARG;
  ShowWindow(window_.handle(), visible == OATRUE ? SW_SHOWNORMAL : SW_HIDE);
  return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG* visible) {
  KSV_CHECK_USABLE(visible);
  const bool shown = (GetWindowLongA(window_.handle(), GWL_STYLE) & WS_VISIBLE) != 0;
  *visible = shown ? OATRUE : OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::Place(std::optional<LONG> left, std::optional<LONG> top,
                             std::optional<LONG> width, std::optional<LONG> height) {
  KSV_CHECK_CONNECTED();
  RECT rect{};
  GetWindowRect(window_.handle(), &rect);
  const LONG newWidth = width.value_or(rect.right - rect.left);
  const LONG newHeight = height.value_or(rect.bottom - rect.top);
  if (newWidth < 0 || newHeight < 0) return E_INVALIDARG;
  SetWindowPos(window_.handle(), nullptr, left.value_or(rect.left), top.value_or(rect.top),
               newWidth, newHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
  return Place(left, top, width, height);
}

HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
  if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
  KSV_CHECK_CONNECTED();
  RECT rect{};
  GetWindowRect(window_.handle(), &rect);
  *left = rect.left;
  *top = rect.top;
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  return S_OK;
}

HRESULT VideoRenderer::GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height) {
  // Never minimized or maximized: the window is where it is.
  return GetWindowPosition(left, top, width, height);
}

HRESULT VideoRenderer::put_Left(LONG left) { return Place(left, {}, {}, {}); }
HRESULT VideoRenderer::put_Top(LONG top) { return Place({}, top, {}, {}); }
HRESULT VideoRenderer::put_Width(LONG width) { return Place({}, {}, width, {}); }
HRESULT VideoRenderer::put_Height(LONG height) { return Place({}, {}, {}, height); }

HRESULT VideoRenderer::get_Left(LONG* left) {
  LONG top, width, height;
  return GetWindowPosition(left, &top, &width, &height);
}
HRESULT VideoRenderer::get_Top(LONG* top) {
  LONG left, width, height;
  return GetWindowPosition(&left, top, &width, &height);
}
HRESULT VideoRenderer::get_Width(LONG* width) {
  LONG left, top, height;
  return GetWindowPosition(&left, &top, width, &height);
}
HRESULT VideoRenderer::get_Height(LONG* height) {
  LONG left, top, width;
  return GetWindowPosition(&left, &top, &width, height);
}

HRESULT VideoRenderer::put_Owner(OAHWND owner) {
  KSV_CHECK_CONNECTED();
  const HWND handle = window_.handle();
  const auto parent = reinterpret_cast<HWND>(owner);
  if (parent != nullptr && !IsWindow(parent)) return E_INVALIDARG;
  // A child carries WS_CHILD; a window given back to the desktop loses it.
  const LONG style = GetWindowLongA(handle, GWL_STYLE);
  if (parent != nullptr) {
    SetWindowLongA(handle, GWL_STYLE, static_cast<LONG>((style | WS_CHILD) & ~WS_POPUP));
  }
  SetLastError(ERROR_SUCCESS);
  if (SetParent(handle, parent) == nullptr && GetLastError() != ERROR_SUCCESS) {
    SetWindowLongA(handle, GWL_STYLE, style);
    return E_INVALIDARG;
  }
  if (parent == nullptr) SetWindowLongA(handle, GWL_STYLE, style & ~LONG(WS_CHILD));
  CAutoLock lock(&m_InterfaceLock);
  owner_ = owner;
  return S_OK;
}

HRESULT VideoRenderer::get_Owner(OAHWND* owner) {
  KSV_CHECK_USABLE(owner);
  CAutoLock lock(&m_InterfaceLock);
  *owner = owner_;
  return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(OAHWND drain) {
  KSV_CHECK_CONNECTED();
  CAutoLock lock(&m_InterfaceLock);
  drain_ = drain;
  return S_OK;
}

HRESULT VideoRenderer::get_MessageDrain(OAHWND* drain) {
  KSV_CHECK_USABLE(drain);
  CAutoLock lock(&m_InterfaceLock);
  *drain = drain_;
  return S_OK;
}

HRESULT VideoRenderer::get_BorderColor(LONG* color) {
  KSV_CHECK_USABLE(color);
  CAutoLock lock(&m_InterfaceLock);
  *color = borderColor_;
  return S_OK;
}

HRESULT VideoRenderer::put_BorderColor(LONG color) {
  KSV_CHECK_CONNECTED();
  CAutoLock lock(&m_InterfaceLock);
  borderColor_ = color;
  return S_OK;
}

HRESULT VideoRenderer::get_FullScreenMode(LONG* fullScreen) {
  KSV_CHECK_USABLE(fullScreen);
  *fullScreen = OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::put_FullScreenMode(LONG /*fullScreen*/) { return E_NOTIMPL; }

HRESULT VideoRenderer::SetWindowForeground(LONG focus) {
  KSV_CHECK_CONNECTED();
  if (focus != OATRUE && focus != OAFALSE) return E_INVALIDARG;
  ShowWindow(window_.handle(), focus == OATRUE ? SW_SHOW : SW_SHOWNA);
  return S_OK;
}

HRESULT VideoRenderer::NotifyOwnerMessage(OAHWND, LONG, LONG_PTR, LONG_PTR) {
  // Nothing of the owner's (palette or display changes) matters to a
  // window that draws into its own surface.
  return S_OK;
}

HRESULT VideoRenderer::GetMinIdealImageSize(LONG* width, LONG* height) {
  if (width == nullptr) return E_POINTER;
  KSV_CHECK_USABLE(height);
  *width = layout_.width;
  *height = layout_.height;
  return S_OK;
}

HRESULT VideoRenderer::GetMaxIdealImageSize(LONG* width, LONG* height) {
  return GetMinIdealImageSize(width, height);
}

HRESULT VideoRenderer::HideCursor(LONG hide) {
  KSV_CHECK_CONNECTED();
  CAutoLock lock(&m_InterfaceLock);
  cursorHidden_ = hide != OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::IsCursorHidden(LONG* hidden) {
  KSV_CHECK_USABLE(hidden);
  CAutoLock lock(&m_InterfaceLock);
  *hidden = cursorHidden_ ? OATRUE : OAFALSE;
  return S_OK;
}

}  // namespace ksv::media::videorenderer
