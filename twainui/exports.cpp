// The window's C functions.
#include <cstring>

#include "include/oksv1ui.h"
#include "platform/module/module.h"
#include "common/bitmap_file.h"
#include "support/no_throw.h"
#include "twainui/acquisition_window.h"
#include "twainui/thumbnail_grid.h"
#include "twainui/ui_state.h"
#include "twainui/window_painting.h"

using ksv::support::NoThrow;
using namespace ksv::twainui;

namespace {

// The library as the system knows it: its resources and its folder.
HINSTANCE Module() { return ksv::platform::RegisterSystemModule("OKSV1UI.DLL"); }

HBITMAP LoadFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

}  // namespace

extern "C" {

int32_t KXTWNUI_LocalizeBtnStr(int32_t slot, const char* text) {
  return NoThrow<int32_t>(0, [&] { return SetLabelSlot(slot, text) ? 1 : 0; });
}

KXTWNUI_HANDLE KXTWNUI_Init(int32_t /*reserved*/, int32_t logoX, int32_t logoY, const char* logoPath,
                            const char* logoMaskPath, int32_t cameraDownload) {
  return NoThrow<KXTWNUI_HANDLE>(nullptr, [&]() -> KXTWNUI_HANDLE {
    if (CurrentWindow() != nullptr) return nullptr;  // one window a process
    auto* context = new KxTwnUiWindow;
    context->instance = Module();
    SetCurrentWindow(context);
    context->logo = LoadFile(logoPath);
    context->logoMask = LoadFile(logoMaskPath);
    context->logoAt = {logoX, logoY};
    context->cameraDownload = cameraDownload != 0;
    bool made = false;
    try {
      made = CreateAcquisitionWindow(*context);
    } catch (...) {
    }
    if (!made) {
      DestroyAcquisitionWindow(*context);
      SetCurrentWindow(nullptr);
      delete context;
      return nullptr;
    }
    return context;
  });
}

int32_t KXTWNUI_Reset(KXTWNUI_HANDLE ui) {
  if (ui == nullptr) return 0;
  return NoThrow<int32_t>(0, [&] {
    DestroyAcquisitionWindow(*ui);
    if (CurrentWindow() == ui) SetCurrentWindow(nullptr);
    delete ui;
    return 1;
  });
}

void KXTWNUI_SetCallback(KXTWNUI_HANDLE ui, KXTWNUI_EventCallback callback, intptr_t user) {
  if (ui == nullptr) return;
  ui->callback = callback;
  ui->user = user;
}

HINSTANCE KXTWNUI_GetInstanceHandle(KXTWNUI_HANDLE ui) { return ui == nullptr ? nullptr : ui->instance; }

HWND KXTWNUI_GetWndHandle(KXTWNUI_HANDLE ui) { return ui == nullptr ? nullptr : ui->window; }

int32_t KXTWNUI_Show(KXTWNUI_HANDLE ui, int32_t command) {
  if (ui == nullptr) return 0;
  return NoThrow<int32_t>(0, [&] { return ShowWindow(ui->window, command); });
}

int32_t KXTWNUI_GetVideoViewRect(KXTWNUI_HANDLE ui, RECT* rect) {
  if (ui == nullptr || rect == nullptr) return 0;
  *rect = LayoutAt(ui->layout).videoView;
  return 1;
}

int32_t KXTWNUI_AddImage(KXTWNUI_HANDLE ui, const char* path, HGLOBAL bitmap, int32_t kind) {
  if (ui == nullptr) return 0;
  return NoThrow<int32_t>(0, [&] {
    if (!AddImage(ui->grid, path, bitmap, kind)) return 0;
    RedrawGrid(*ui);
    EnableWindow(ui->buttons[kPageBack].window, TRUE);
    return 1;
  });
}

int32_t KXTWNUI_GetImgDim(KXTWNUI_HANDLE ui, int32_t index, int32_t* width, int32_t* height) {
  if (ui == nullptr) return 0;
  const ImageItem* item = ImageForTransfer(ui->grid, index);
  if (item == nullptr || item->kind < KXTWNUI_SNAPSHOT || item->kind > KXTWNUI_LOW_CLIP) return 0;
  if (width != nullptr) *width = item->width;
  if (height != nullptr) *height = item->height;
  return 1;
}

HGLOBAL KXTWNUI_GetDIB(KXTWNUI_HANDLE ui, int32_t index) {
  if (ui == nullptr) return nullptr;
  return NoThrow<HGLOBAL>(nullptr, [&]() -> HGLOBAL {
    const ImageItem* item = ImageForTransfer(ui->grid, index);
    return item == nullptr ? nullptr : ksv::common::ReadBitmapFile(item->file.c_str());
  });
}

int32_t KXTWNUI_GetTotalSelectedImg(KXTWNUI_HANDLE ui) {
  if (ui == nullptr) return 0;
  return CountToTransfer(ui->grid, ui->transferAll);
}

int32_t KXTWNUI_ChangeUIState(KXTWNUI_HANDLE ui, int32_t state) {
  if (ui == nullptr || state < 0 || state > 5) return 0;
  return NoThrow<int32_t>(0, [&] {
    ApplyUiState(*ui, state);
    return 1;
  });
}

int32_t KXTWNUI_GetUIState(KXTWNUI_HANDLE ui) { return ui == nullptr ? -1 : ui->uiState; }

int32_t KXTWNUI_ShowToolTip(KXTWNUI_HANDLE ui, const char* text, int32_t show) {
  if (ui == nullptr) return 0;
  return NoThrow<int32_t>(0, [&] {
    if (!LayoutAt(ui->layout).tooltip) return 1;
    ui->tooltip = show != 0 && text != nullptr ? text : "";
    RedrawTooltip(*ui);
    return 1;
  });
}

}  // extern "C"
