/* OKSV1UI, the scanner-interface acquisition window: a skinned, caption-less
 * window with a live-video area, labelled buttons, paging buttons, optional
 * camera-download buttons, a grid of thumbnails of the images taken or
 * downloaded, and a tooltip strip. It decides nothing about the camera:
 * every user action goes to the owner through one event callback, and the
 * owner says which buttons are enabled through the UI state.
 *
 * One window exists per process at a time; everything runs on the thread
 * that called KXTWNUI_Init, whose message loop delivers the window's input
 * and its one-second tick. Every function taking the window handle returns
 * 0 (null; -1 for KXTWNUI_GetUIState) when it is null. */
#ifndef KSV_INCLUDE_OKSV1UI_H
#define KSV_INCLUDE_OKSV1UI_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KxTwnUiWindow* KXTWNUI_HANDLE;

/* Kinds of image (KXTWNUI_AddImage). */
#define KXTWNUI_SNAPSHOT 1
#define KXTWNUI_STORED_PICTURE 2
#define KXTWNUI_CLIP 3
#define KXTWNUI_BURST_PICTURE 4
#define KXTWNUI_LOW_PICTURE 5
#define KXTWNUI_LOW_CLIP 6

/* The most images the window holds. */
#define KXTWNUI_MAX_IMAGES 2048
/* Button labels are shorter than this. */
#define KXTWNUI_LABEL_BYTES 64

/* What the event callback receives; the record lives only for the call.
 * Category is always 1; fields without meaning for an event are 0.
 *   1-5   SnapShot, Coloring, Transfer, TransferAll, Exit: action 1 pointer
 *         entered, 2 pointer left, 3 clicked
 *   6, 7  page back, page forward: action 1 or 2 (their clicks page the grid)
 *   8     the one-second tick
 *   9, 10 Download, Save All: action 1, 2 or 3
 *   12    pointer over a thumbnail: action its kind, first its position in
 *         the list from 1, second the number of images
 *   13    pointer over an empty cell, or a double click on one
 *   14    double click on a clip: action its kind, first its clip number
 *         (from 0, in the order clips were added), second the number of images */
typedef struct {
  int32_t category;
  int32_t event;
  int32_t action;
  int32_t first;
  int32_t second;
} KXTWNUI_EVENT;

typedef void (*KXTWNUI_EventCallback)(intptr_t user, const KXTWNUI_EVENT* event);

/* Sets the label of button `slot` (0-6: SnapShot, Coloring, Transfer,
 * TransferAll, Exit, and the two paging buttons, which show none) for
 * windows made after; an empty text gives the default label. 1, or 0 for a
 * slot outside 0-6 or a text of 64 bytes or more (the label stays). */
KSV_EXPORT int32_t KXTWNUI_LocalizeBtnStr(int32_t slot, const char* text);

/* Makes the window, hidden, in the small layout on a full-screen client
 * area up to 640 pixels wide, else the large one. The logo bitmap file (and
 * its mask, when given) is drawn at (logoX, logoY); a missing one is not
 * drawn. With `cameraDownload` the Download and Save All buttons are made.
 * Null when the window cannot be made, or while another window lives. */
KSV_EXPORT KXTWNUI_HANDLE KXTWNUI_Init(int32_t reserved, int32_t logoX, int32_t logoY,
                                       const char* logoPath, const char* logoMaskPath,
                                       int32_t cameraDownload);
/* Destroys the window and everything it holds, its image files too. 1. */
KSV_EXPORT int32_t KXTWNUI_Reset(KXTWNUI_HANDLE ui);
KSV_EXPORT void KXTWNUI_SetCallback(KXTWNUI_HANDLE ui, KXTWNUI_EventCallback callback, intptr_t user);
KSV_EXPORT HINSTANCE KXTWNUI_GetInstanceHandle(KXTWNUI_HANDLE ui);
KSV_EXPORT HWND KXTWNUI_GetWndHandle(KXTWNUI_HANDLE ui);
/* ShowWindow's result. */
KSV_EXPORT int32_t KXTWNUI_Show(KXTWNUI_HANDLE ui, int32_t command);
/* The live-video area of the layout, in the window's client coordinates. 1. */
KSV_EXPORT int32_t KXTWNUI_GetVideoViewRect(KXTWNUI_HANDLE ui, RECT* rect);
/* Adds an image: a copy of the packed bitmap `bitmap` (it stays the
 * caller's) or, with a null one, the bitmap file at `path`. The grid pages
 * on to show it. 1 when added; 0 for an unreadable bitmap, one that cannot
 * be written to the window's images folder, or a full list. */
KSV_EXPORT int32_t KXTWNUI_AddImage(KXTWNUI_HANDLE ui, const char* path, HGLOBAL bitmap, int32_t kind);
/* The number of images to transfer: 0 without images; every image once
 * TransferAll was clicked; else the selected ones, or 1 (the oldest image)
 * when none is selected. It fixes what the indexes below mean: the i-th
 * selected image in list order, or the list position. */
KSV_EXPORT int32_t KXTWNUI_GetTotalSelectedImg(KXTWNUI_HANDLE ui);
/* 1 with the image's size when index names one. */
KSV_EXPORT int32_t KXTWNUI_GetImgDim(KXTWNUI_HANDLE ui, int32_t index, int32_t* width, int32_t* height);
/* A new movable block with the image's packed bitmap, read back from its
 * file; the caller frees it with GlobalFree. Null when not found. */
KSV_EXPORT HGLOBAL KXTWNUI_GetDIB(KXTWNUI_HANDLE ui, int32_t index);
/* Which buttons are enabled, 0-5:
 *   0 all but Transfer, TransferAll and the paging buttons
 *   1 all but SnapShot, Coloring, Transfer, TransferAll and Download
 *   2 all
 *   3 none
 *   4 only Exit
 *   5 all but SnapShot, Coloring, Download and Save All, and Transfer and
 *     TransferAll while there are no images
 * 1, or 0 for a state above 5. */
KSV_EXPORT int32_t KXTWNUI_ChangeUIState(KXTWNUI_HANDLE ui, int32_t state);
KSV_EXPORT int32_t KXTWNUI_GetUIState(KXTWNUI_HANDLE ui);
/* Shows `text` in the tooltip strip (the large layout has one), or clears
 * it. 1. */
KSV_EXPORT int32_t KXTWNUI_ShowToolTip(KXTWNUI_HANDLE ui, const char* text, int32_t show);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1UI_H */
