// IVideoWindow on the Video Renderer: thin wrappers over its window, as
// the platform's are, for the six methods the system calls (the others
// answer E_NOTIMPL, video_window_stubs.h).
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

#define KSV_CHECK_CONNECTED()                                     \
  do {                                                            \
    if (HRESULT usable = Usable(); FAILED(usable)) return usable; \
  } while (false)

HRESULT VideoRenderer::put_WindowStyle(LONG style) {
  KSV_CHECK_CONNECTED();
  if ((style & kRefusedStyles) != 0) return E_INVALIDARG;
  // Visibility stays as put_Visible left it.
  const LONG visible = GetWindowLongA(window_.handle(), GWL_STYLE) & WS_VISIBLE;
  SetWindowLongA(window_.handle(), GWL_STYLE, (style & ~LONG(WS_VISIBLE)) | visible);
  return S_OK;
}

HRESULT VideoRenderer::put_Visible(LONG visible) {
  KSV_CHECK_CONNECTED();
  if (visible != OATRUE && visible != OAFALSE) return E_INVALIDARG;
  ShowWindow(window_.handle(), visible == OATRUE ? SW_SHOWNORMAL : SW_HIDE);
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

HRESULT VideoRenderer::put_Width(LONG width) { return Place({}, {}, width, {}); }
HRESULT VideoRenderer::put_Height(LONG height) { return Place({}, {}, {}, height); }

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
  return S_OK;
}

}  // namespace ksv::media::videorenderer
