// Painting: window DCs over the top-level window's surface, update
// regions and WM_PAINT, erasing, and window shapes.
#include "platform/ui/painting.h"

#include <mutex>

#include "platform/gdi/objects.h"
#include "platform/sync/sync.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

PaintState& PaintOf(Window& window) {
  if (window.paint == nullptr) window.paint = std::make_shared<PaintState>();
  return *window.paint;
}

RECT ClientRect(const Window& window) {
  return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

RECT Shifted(RECT rect, int dx, int dy) { return RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy}; }

// With the table's lock held: where a window draws in its top-level
// window's surface, and what of it can be seen there: its client area
// within every parent's and the shapes, less its children's when it clips
// them. Null when there is no such window.
struct Placement {
  std::shared_ptr<Window> top;
  POINT origin{};
  gdi::Region visible;
};

std::optional<Placement> PlaceLocked(HWND handle) {
  std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr || window->messageOnly) return std::nullopt;
  Placement placement;
  std::vector<std::shared_ptr<Window>> chain;  // the window, then each parent
  for (auto at = window; at != nullptr; at = at->parent != nullptr ? FindLocked(at->parent) : nullptr) {
    chain.push_back(at);
  }
  placement.top = chain.back();
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    placement.origin.x += chain[i]->rect.left;
    placement.origin.y += chain[i]->rect.top;
  }
  placement.visible = gdi::Region(Shifted(ClientRect(*window), placement.origin.x, placement.origin.y));
  POINT at = placement.origin;
  for (const auto& record : chain) {
    placement.visible.Intersect(Shifted(ClientRect(*record), at.x, at.y));
    if (record->paint != nullptr && record->paint->shape) {
      gdi::Region shape = *record->paint->shape;
      shape.Translate(at.x, at.y);
      placement.visible.Combine(shape, RGN_AND);
    }
    if (record->parent != nullptr) {
      at.x -= record->rect.left;
      at.y -= record->rect.top;
    }
  }
  if ((window->style & WS_CLIPCHILDREN) != 0) {
    for (HWND child : window->children) {
      const auto record = FindLocked(child);
      if (record != nullptr && (record->style & WS_VISIBLE) != 0) {
        placement.visible.Combine(gdi::Region(Shifted(record->rect, placement.origin.x, placement.origin.y)), RGN_DIFF);
      }
    }
  }
  return placement;
}

// Draws into a surface, holding its pixels for each call; shows the
// picture again when the DC ends, if anything was drawn.
class SurfaceTarget final : public gdi::DrawingTarget {
 public:
  explicit SurfaceTarget(std::shared_ptr<Surface> surface) : surface_(std::move(surface)) {}
  ~SurfaceTarget() override {
    if (drawn_) surface_->Present();
  }
  void Draw(const std::function<void(const gdi::PixelView&)>& draw) override {
    Surface::Pixels pixels = surface_->Lock();
    draw(gdi::PixelView{pixels.bits(), static_cast<ptrdiff_t>(pixels.stride()), pixels.width(), pixels.height(), 24});
    drawn_ = true;
  }

 private:
  std::shared_ptr<Surface> surface_;
  bool drawn_ = false;
};

// A DC of the window clipped to `area` (client coordinates) if given.
HDC WindowDc(HWND handle, const gdi::Region* area) {
  std::optional<Placement> placement;
  {
    std::shared_lock guard(TableLock());
    placement = PlaceLocked(handle);
  }
  if (!placement) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::shared_ptr<Surface> surface = SurfaceOf(placement->top->handle);
  if (surface == nullptr) surface = CreateSurface(placement->top->handle);
  if (surface == nullptr) return nullptr;
  if (area != nullptr) {
    gdi::Region shifted = *area;
    shifted.Translate(placement->origin.x, placement->origin.y);
    placement->visible.Combine(shifted, RGN_AND);
  }
  return gdi::CreateTargetDC(std::make_shared<SurfaceTarget>(std::move(surface)), placement->origin,
                             placement->visible);
}

// With the lock held: adds `area` (client coordinates) to the update
// region of a visible window and, unless it clips them, of its children
// under it; lists each window that now waits for WM_PAINT, parents first.
void InvalidateLocked(Window& window, gdi::Region area, bool erase, std::vector<std::shared_ptr<Window>>& marked) {
  if ((window.style & WS_VISIBLE) == 0 || window.state != WindowState::Alive) return;
  area.Intersect(ClientRect(window));
  if (area.Empty()) return;
  PaintState& paint = PaintOf(window);
  paint.update.Combine(area, RGN_OR);
  paint.erase = paint.erase || erase;
  if (auto self = FindLocked(window.handle)) marked.push_back(self);
  if ((window.style & WS_CLIPCHILDREN) != 0) return;
  for (HWND child : window.children) {
    const auto record = FindLocked(child);
    if (record == nullptr) continue;
    gdi::Region under = area;
    under.Translate(-record->rect.left, -record->rect.top);
    InvalidateLocked(*record, under, erase, marked);
  }
}

bool Invalidate(HWND handle, const RECT* rect, bool erase) {
  std::vector<std::shared_ptr<Window>> marked;
  {
    std::unique_lock guard(TableLock());
    const std::shared_ptr<Window> window = FindLocked(handle);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
    // Only a window whose parents are all shown can be seen.
    for (auto above = window->parent != nullptr ? FindLocked(window->parent) : nullptr; above != nullptr;
         above = above->parent != nullptr ? FindLocked(above->parent) : nullptr) {
      if ((above->style & WS_VISIBLE) == 0) return true;
    }
    InvalidateLocked(*window, gdi::Region(rect != nullptr ? *rect : ClientRect(*window)), erase, marked);
  }
  for (const auto& record : marked) record->queue->SetNeedsPaint(record->handle, true);
  return true;
}

std::shared_ptr<Window> TopOf(HWND handle) {
  std::shared_lock guard(TableLock());
  const std::optional<Placement> placement = PlaceLocked(handle);
  return placement ? placement->top : nullptr;
}

}  // namespace

bool ShapeContains(HWND handle, int x, int y) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(handle);
  return window == nullptr || window->paint == nullptr || !window->paint->shape || window->paint->shape->Contains(x, y);
}

std::vector<RECT> ShapeRects(HWND handle) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr || window->paint == nullptr || !window->paint->shape) return {};
  return window->paint->shape->Rects();
}

void DefaultPaint(HWND handle) {
  const std::shared_ptr<Window> top = TopOf(handle);
  if (top != nullptr && SurfaceOf(top->handle) != nullptr) {
    PAINTSTRUCT paint{};
    if (BeginPaint(handle, &paint) != nullptr) EndPaint(handle, &paint);
    return;
  }
  {
    std::unique_lock guard(TableLock());
    if (const auto window = FindLocked(handle); window != nullptr && window->paint != nullptr) {
      window->paint->update = gdi::Region();
      window->paint->erase = false;
    }
  }
  if (const auto window = Find(handle)) window->queue->SetNeedsPaint(handle, false);
}

LRESULT DefaultErase(HWND handle, HDC dc) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr || window->windowClass->background == nullptr) return 0;
  RECT client{};
  GetClientRect(handle, &client);
  return FillRect(dc, &client, window->windowClass->background) != 0 ? 1 : 0;
}

void RepaintShown(HWND handle) { Invalidate(handle, nullptr, true); }

void RepaintParentArea(HWND parent, const RECT& rect) { Invalidate(parent, &rect, true); }

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

HDC GetDC(HWND window) { return WindowDc(window, nullptr); }

int ReleaseDC(HWND /*window*/, HDC dc) { return DeleteDC(dc) != FALSE ? 1 : 0; }

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return nullptr;
  ksv::platform::gdi::Region update;
  bool erase = false;
  {
    std::unique_lock guard(TableLock());
    PaintState& state = PaintOf(*window);
    update = state.update;
    erase = state.erase;
    state.update = ksv::platform::gdi::Region();
    state.erase = false;
  }
  window->queue->SetNeedsPaint(handle, false);
  const HDC dc = WindowDc(handle, &update);
  if (dc == nullptr) return nullptr;
  *paint = PAINTSTRUCT{dc, FALSE, update.Box(), FALSE, FALSE, {}};
  if (erase) paint->fErase = SendMessageA(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? TRUE : FALSE;
  return dc;
}

BOOL EndPaint(HWND /*window*/, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  DeleteDC(paint->hdc);
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (window == nullptr) {  // every window
    for (const auto& record : AllWindows()) {
      if (record->parent == nullptr && !record->messageOnly) Invalidate(record->handle, nullptr, erase != FALSE);
    }
    return TRUE;
  }
  return Invalidate(window, rect, erase != FALSE) ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  bool due = false;
  {
    std::shared_lock guard(TableLock());
    due = window->paint != nullptr && !window->paint->update.Empty();
  }
  if (due) SendMessageA(handle, WM_PAINT, 0, 0);
  return TRUE;
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw) {
  std::optional<ksv::platform::gdi::Region> shape;
  if (region != nullptr) {
    const auto object = ksv::platform::gdi::Get<ksv::platform::gdi::RegionObject>(region);
    if (object == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    shape = object->region;
  }
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return 0;
  {
    std::unique_lock guard(TableLock());
    PaintOf(*window).shape = shape;
  }
  // The system owns the region from here on, as on the platform.
  if (region != nullptr) DeleteObject(region);
  // Nothing is left drawn outside the new shape of a top-level window.
  if (const std::shared_ptr<Surface> surface = window->parent == nullptr ? SurfaceOf(handle) : nullptr;
      surface != nullptr && shape) {
    {
      Surface::Pixels pixels = surface->Lock();
      ksv::platform::gdi::Region outside(RECT{0, 0, pixels.width(), pixels.height()});
      outside.Combine(*shape, RGN_DIFF);
      const ksv::platform::gdi::PixelView view{pixels.bits(), static_cast<ptrdiff_t>(pixels.stride()),
                                                pixels.width(), pixels.height(), 24};
      ksv::platform::gdi::FillPixels(view, outside, RECT{0, 0, pixels.width(), pixels.height()}, RGB(0, 0, 0));
    }
    surface->Present();
  }
  NotifyWindowChanged(handle, WindowChange::Shape);
  if (redraw != FALSE) Invalidate(handle, nullptr, true);
  return 1;
}

}  // extern "C"
