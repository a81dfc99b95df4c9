#include "twainui/acquisition_window.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/module/module.h"
#include "platform/resources/resources.h"
#include "platform/sound/sound.h"
#include "platform/sync/sync.h"
#include "platform/ui/dialogs/dialogs.h"
#include "twainui/drawing.h"
#include "twainui/thumbnail_grid.h"
#include "twainui/ui_state.h"
#include "twainui/window_painting.h"

namespace ksv::twainui {

namespace {

// The window's class, named by dialog 129: a dialog that takes double clicks.
constexpr const char* kWindowClass = "OKSV1UI Window";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMilliseconds = 1000;
constexpr size_t kPathBytes = 260;

KxTwnUiWindow* current = nullptr;

int X(LPARAM point) { return static_cast<int16_t>(static_cast<uintptr_t>(point) & 0xFFFF); }
int Y(LPARAM point) { return static_cast<int16_t>((static_cast<uintptr_t>(point) >> 16) & 0xFFFF); }

HBITMAP Load(HINSTANCE instance, int id) { return LoadBitmapA(instance, MAKEINTRESOURCEA(id)); }

// "Images" in the library's folder, as the system sees it.
std::string ImagesFolder(HINSTANCE instance) {
  char file[kPathBytes];
  const DWORD length = GetModuleFileNameA(instance, file, sizeof file);
  if (length == 0 || length >= sizeof file) return {};
  std::string folder(file, length);
  const size_t slash = folder.rfind('/');
  return (slash == std::string::npos ? std::string() : folder.substr(0, slash + 1)) + "Images";
}

void OnMouseMove(KxTwnUiWindow& context, LPARAM point) {
  const int cell = CellAt(context.grid, LayoutAt(context.layout), X(point), Y(point));
  if (cell < 0) return;
  const int index = ImageInCell(context.grid, cell);
  if (index < 0) {
    SendEvent(context, 13, 0, 0, 0);
    return;
  }
  SendEvent(context, 12, context.grid.images[static_cast<size_t>(index)]->kind, index + 1, context.grid.count());
}

void OnPress(KxTwnUiWindow& context, WPARAM keys, LPARAM point) {
  const int cell = CellAt(context.grid, LayoutAt(context.layout), X(point), Y(point));
  if (cell < 0) {
    // Anywhere else the window is dragged, as by a caption.
    DefWindowProcA(context.window, WM_NCLBUTTONDOWN, HTCAPTION, point);
    return;
  }
  const int index = ImageInCell(context.grid, cell);
  if (index < 0) return;
  SelectOnPress(context.grid, index, (keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0);
  RedrawGrid(context);
}

void OnDoubleClick(KxTwnUiWindow& context, LPARAM point) {
  const int cell = CellAt(context.grid, LayoutAt(context.layout), X(point), Y(point));
  if (cell < 0) return;
  const int index = ImageInCell(context.grid, cell);
  if (index < 0) {
    SendEvent(context, 13, 0, 0, 0);
    return;
  }
  const ImageItem& item = *context.grid.images[static_cast<size_t>(index)];
  if (item.kind == KXTWNUI_CLIP || item.kind == KXTWNUI_LOW_CLIP) {
    SendEvent(context, 14, item.kind, item.clip, context.grid.count());
  }
}

void OnCommand(KxTwnUiWindow& context, int command, int notification) {
  const int action = notification == kEntered || notification == kLeft ? notification : 3;
  const int button = command - ButtonArtAt(0).command;
  if (button == kPageBack || button == kPageForward) {
    if (action != 3) {
      SendEvent(context, button == kPageBack ? 6 : 7, action, 0, 0);
      return;
    }
    if (button == kPageBack) PageBack(context.grid);
    else PageForward(context.grid);
    RedrawGrid(context);
    return;
  }
  int event = 0;
  if (button >= kSnapShot && button <= kExit) event = button + 1;
  else if (command == kDownloadArt.command) event = 9;
  else if (command == kSaveAllArt.command) event = 10;
  else return;
  if (action == 3 && button == kSnapShot && context.sounds[0] != nullptr) {
    sndPlaySoundA(context.sounds[0], SND_MEMORY | SND_SYNC);
  }
  if (action == 3 && button == kTransferAll) context.transferAll = true;
  SendEvent(context, event, action, 0, 0);
}

void OnTick(KxTwnUiWindow& context) {
  // A handler that pumps messages while it blocks would see the next tick
  // inside this one.
  if (context.inTick) return;
  context.inTick = true;
  SendEvent(context, 8, 0, 0, 0);
  if (CurrentWindow() == &context) context.inTick = false;  // unless the handler reset the window
}

const char* SoundOf(HINSTANCE instance, int id) {
  const auto bytes = platform::resources::FindResourceBytes(instance, MAKEINTRESOURCEA(id), "WAVE");
  return bytes.empty() ? nullptr : reinterpret_cast<const char*>(bytes.data());
}

bool Initialize(KxTwnUiWindow& context, HWND window) {
  context.window = window;
  const HINSTANCE instance = context.instance;
  context.layout = PickLayout(GetSystemMetrics(SM_CXFULLSCREEN));
  const Layout& layout = LayoutAt(context.layout);
  context.background = Load(instance, layout.background);
  OpenGrid(context.grid, ImagesFolder(instance), layout.columns, layout.rows, Load(instance, kCellBackground));
  context.tooltipBackground = Load(instance, kTooltipBackground);
  LOGFONTA font{};
  if (SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0)) context.font = CreateFontIndirectA(&font);

  const SIZE size = BitmapSize(context.background);
  if (size.cx > 0) {
    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - size.cx) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - size.cy) / 2;
    SetWindowPos(window, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const auto region = platform::resources::FindResourceBytes(instance, MAKEINTRESOURCEA(layout.region), RT_RCDATA);
  if (!region.empty()) {
    const HRGN shape = ExtCreateRegion(nullptr, static_cast<DWORD>(region.size()),
                                       reinterpret_cast<const RGNDATA*>(region.data()));
    if (shape != nullptr) SetWindowRgn(window, shape, FALSE);
  }

  if (!RegisterButtonClasses(instance)) return false;
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonArt& art = ButtonArtAt(i);
    const std::string label = art.label == nullptr ? std::string() : *LabelSlot(i) == '\0' ? art.label : LabelSlot(i);
    if (!CreateFlatButton(context.buttons[static_cast<size_t>(i)], window, instance,
                          layout.buttons[static_cast<size_t>(i)], art, label, context.background, context.font)) {
      return false;
    }
  }
  if (context.cameraDownload &&
      (!CreateDrawnButton(context.download, window, instance, layout.download, kDownloadArt) ||
       !CreateDrawnButton(context.saveAll, window, instance, layout.saveAll, kSaveAllArt))) {
    return false;
  }
  context.sounds = {SoundOf(instance, kShutterSound), SoundOf(instance, kSecondSound)};
  context.soundCount = static_cast<int>(std::count_if(context.sounds.begin(), context.sounds.end(),
                                                      [](const char* sound) { return sound != nullptr; }));
  context.timerRunning = SetTimer(window, kTickTimer, kTickMilliseconds, nullptr) != 0;
  EnableWindow(context.buttons[kPageBack].window, TRUE);
  EnableWindow(context.buttons[kPageForward].window, TRUE);
  ApplyUiState(context, 0);
  return true;
}

INT_PTR WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  KxTwnUiWindow* context = CurrentWindow();
  if (context == nullptr) return FALSE;
  if (message == WM_INITDIALOG) {
    if (!Initialize(*context, window)) DestroyWindow(window);
    return FALSE;
  }
  if (context->window != window) return FALSE;
  switch (message) {
    case WM_PAINT:
      PaintWindow(*context);
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_MOUSEMOVE:
      OnMouseMove(*context, lParam);
      return TRUE;
    case WM_LBUTTONDOWN:
      OnPress(*context, wParam, lParam);
      return TRUE;
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(*context, lParam);
      return TRUE;
    case WM_COMMAND:
      OnCommand(*context, LOWORD(wParam), static_cast<int>((wParam >> 16) & 0xFFFF));
      return TRUE;
    case WM_TIMER:
      if (wParam == kTickTimer) OnTick(*context);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefDlgProcA(window, message, wParam, lParam);
}

}  // namespace

KxTwnUiWindow* CurrentWindow() { return current; }
void SetCurrentWindow(KxTwnUiWindow* context) { current = context; }

void SendEvent(KxTwnUiWindow& context, int event, int action, int first, int second) {
  if (context.callback == nullptr) return;
  const KXTWNUI_EVENT record{1, event, action, first, second};
  context.callback(context.user, &record);
}

bool CreateAcquisitionWindow(KxTwnUiWindow& context) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = ClassProcedure;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = context.instance;
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  const HWND window =
      CreateDialogParamA(context.instance, MAKEINTRESOURCEA(kDialogResource), nullptr, WindowProcedure, 0);
  if (window == nullptr) {
    context.window = nullptr;
    return false;
  }
  return true;
}

void DestroyAcquisitionWindow(KxTwnUiWindow& context) {
  if (context.window != nullptr) {
    if (context.timerRunning) KillTimer(context.window, kTickTimer);
    context.timerRunning = false;
    sndPlaySoundA(nullptr, 0);  // nothing of ours keeps playing
    DestroyWindow(context.window);
    context.window = nullptr;
  }
  context.sounds = {};
  context.soundCount = 0;
  CloseGrid(context.grid);
  for (auto& button : context.buttons) ReleaseButton(button);
  ReleaseButton(context.download);
  ReleaseButton(context.saveAll);
  for (HBITMAP* bitmap : {&context.background, &context.tooltipBackground, &context.logo, &context.logoMask}) {
    if (*bitmap != nullptr) DeleteObject(*bitmap);
    *bitmap = nullptr;
  }
  if (context.font != nullptr) DeleteObject(context.font);
  context.font = nullptr;
}


}  // namespace ksv::twainui
