// "Static": a text label (SS_LEFT, SS_CENTER, SS_RIGHT) on the face
// colour, grey while disabled. It lets clicks through to what lies under
// it, unless SS_NOTIFY asks it to report them (STN_CLICKED).
#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

struct StaticState final : ControlState {};

UINT Alignment(DWORD style) {
  switch (style & 0x3) {
    case SS_CENTER: return DT_CENTER;
    case SS_RIGHT: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

LRESULT StaticMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Attach(window, std::make_shared<StaticState>());
  const bool notify = (StyleOf(window) & SS_NOTIFY) != 0;
  switch (message) {
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_NCHITTEST: return notify ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONUP:
      if (notify && TakesInput(window)) NotifyParent(window, STN_CLICKED);
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

void DrawStatic(HWND label, const StaticState& state) {
  const std::string text = TextOf(label);
  const UINT format = Alignment(StyleOf(label)) | DT_TOP;
  Paint(label, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    FillFace(dc, client);
    Label(dc, text, client, format, enabled);
  });
}

}  // namespace

LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<StaticState>(window, message, wParam, lParam, StaticMessage, DrawStatic);
}

}  // namespace ksv::platform::ui::controls
