// The grid of thumbnails: the images the window holds (each kept as a
// bitmap file in the window's own images folder), which of them are
// visible, selection and drawing.
#pragma once

#include <string>

#include "twainui/window_context.h"

namespace ksv::twainui {

// Sets the grid up for the layout and empties its images folder: the
// "Images" folder beside the library, in which each window keeps its files
// in a folder of its own (so two processes never delete each other's).
bool OpenGrid(ThumbnailGrid& grid, const std::string& imagesFolder, int columns, int rows, HBITMAP cellBackground);
// Deletes every item, its file and the window's folder.
void CloseGrid(ThumbnailGrid& grid);

// Adds a copy of `bitmap`, or the bitmap file at `path` when it is null;
// pages on so the new image shows. False when it cannot be read or written,
// or the list is full.
bool AddImage(ThumbnailGrid& grid, const char* path, HGLOBAL bitmap, int kind);

void PageBack(ThumbnailGrid& grid);
void PageForward(ThumbnailGrid& grid);

// The visible cell under a point of the window (-1 when none), and the image
// in it (-1 for an empty cell).
int CellAt(const ThumbnailGrid& grid, const Layout& layout, int x, int y);
int ImageInCell(const ThumbnailGrid& grid, int cell);

// A press on image `index` with Shift and/or Control held.
void SelectOnPress(ThumbnailGrid& grid, int index, bool shift, bool control);

// Counts what a transfer takes and fixes the index mapping.
int CountToTransfer(ThumbnailGrid& grid, bool transferAll);
// The image a transfer index names, null when none.
ImageItem* ImageForTransfer(ThumbnailGrid& grid, int index);

// Draws the visible cells, making thumbnails that do not exist yet.
void DrawGrid(ThumbnailGrid& grid, const Layout& layout, HDC dc);

}  // namespace ksv::twainui
