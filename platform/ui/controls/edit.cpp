// "Edit": one line of text a person types into. Typing replaces the
// selection; ES_NUMBER refuses anything but digits, ES_READONLY everything,
// and EM_LIMITTEXT caps what typing adds (EN_MAXTEXT when it would pass).
// Each change, typed or set with WM_SETTEXT, sends EN_UPDATE and EN_CHANGE.
#include <cctype>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"
#include "platform/ui/controls/line_editor.h"

namespace ksv::platform::ui::controls {
namespace {

struct EditState final : ControlState {
  LineEditor editor;
};

// The window's text follows the editor, so other threads can read it.
void Publish(HWND edit, const EditState& state) {
  DefWindowProcA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.editor.text().c_str()));
}

void Report(HWND edit, EditState& state, LineEditor::Result result) {
  if (result == LineEditor::Result::Full) NotifyParent(edit, EN_MAXTEXT);
  if (result == LineEditor::Result::Unchanged) return;
  Publish(edit, state);
  NotifyParent(edit, EN_UPDATE);
  NotifyParent(edit, EN_CHANGE);
}

bool Editable(HWND edit) { return TakesInput(edit) && (StyleOf(edit) & ES_READONLY) == 0; }

void Typed(HWND edit, EditState& state, char character) {
  if (!Editable(edit)) return;
  if (character == '\b') return Report(edit, state, state.editor.Backspace());
  if (static_cast<unsigned char>(character) < 0x20) return;  // Enter, Escape, Tab: not text
  const DWORD style = StyleOf(edit);
  if ((style & ES_NUMBER) != 0 && !std::isdigit(static_cast<unsigned char>(character))) return;
  if ((style & ES_UPPERCASE) != 0) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  if ((style & ES_LOWERCASE) != 0) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  Report(edit, state, state.editor.Type(character));
}

void KeyDown(HWND edit, EditState& state, WPARAM key) {
  if (!TakesInput(edit)) return;
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  switch (key) {
    case VK_LEFT: state.editor.Left(shift); break;
    case VK_RIGHT: state.editor.Right(shift); break;
    case VK_HOME: state.editor.Home(shift); break;
    case VK_END: state.editor.End(shift); break;
    case VK_DELETE:
      if (Editable(edit)) Report(edit, state, state.editor.Delete());
      break;
    default: break;
  }
}

LRESULT Selection(const EditState& state, WPARAM wParam, LPARAM lParam) {
  const auto start = static_cast<DWORD>(state.editor.SelectionStart());
  const auto end = static_cast<DWORD>(state.editor.SelectionEnd());
  if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = start;
  if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = end;
  return start > 0xFFFF || end > 0xFFFF ? -1 : MAKELONG(start, end);
}

LRESULT EditMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto state = std::make_shared<EditState>();
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    if (create != nullptr && create->lpszName != nullptr) state->editor.SetText(create->lpszName);
    Attach(window, state);
  }
  const std::shared_ptr<EditState> state = StateOf<EditState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      state->editor.SetText(text != nullptr ? text : "");
      Publish(window, *state);
      NotifyParent(window, EN_UPDATE);
      NotifyParent(window, EN_CHANGE);
      return TRUE;
    }
    case WM_CHAR: Typed(window, *state, static_cast<char>(wParam)); return 0;
    case WM_KEYDOWN: KeyDown(window, *state, wParam); return 0;
    case WM_LBUTTONDOWN:
      if (!TakesInput(window)) return 0;
      SetFocus(window);
      state->editor.End(false);
      return 0;
    case EM_GETSEL: return Selection(*state, wParam, lParam);
    case EM_SETSEL:
      state->editor.Select(static_cast<long>(static_cast<intptr_t>(wParam)), static_cast<long>(lParam));
      return 0;
    case EM_REPLACESEL: {
      const char* text = reinterpret_cast<const char*>(lParam);
      Report(window, *state, state->editor.Replace(text != nullptr ? text : ""));
      return 0;
    }
    case EM_LIMITTEXT: state->editor.SetLimit(wParam); return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(state->editor.limit());
    case EM_SETREADONLY: {
      const DWORD style = StyleOf(window);
      SetStyle(window, wParam != 0 ? style | ES_READONLY : style & ~ES_READONLY);
      return TRUE;
    }
    case WM_SETFOCUS: NotifyParent(window, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyParent(window, EN_KILLFOCUS); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The text on white in a sunken frame; the caret a line after the
// character it follows while the edit has the focus.
void DrawEdit(HWND edit, const EditState& state) {
  const bool focused = GetFocus() == edit;
  Paint(edit, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    const bool readOnly = (StyleOf(edit) & ES_READONLY) != 0;
    if (enabled && !readOnly) {
      FillWindow(dc, client);
    } else {
      FillFace(dc, client);
    }
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    std::string shown = state.editor.text();
    if ((StyleOf(edit) & ES_PASSWORD) != 0) shown.assign(shown.size(), '*');
    Label(dc, shown, RECT{4, 2, client.right - 2, client.bottom - 2}, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
          enabled);
    if (focused && enabled) {
      const SIZE before = Measure(state.font, shown.substr(0, state.editor.SelectionEnd()));
      const int x = 4 + before.cx;
      Line(dc, x, 3, x, client.bottom - 3, COLOR_WINDOWTEXT);
    }
  });
}

}  // namespace

LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<EditState>(window, message, wParam, lParam, EditMessage, DrawEdit);
}

}  // namespace ksv::platform::ui::controls
