// The objects behind GDI handles and the process-wide table that names
// them. Internal to the drawing layer and the window layer's painting.
#pragma once

#include <functional>
#include <memory>
#include <variant>

#include "platform/gdi/gdi.h"
#include "platform/gdi/pixels.h"
#include "platform/gdi/region.h"

namespace ksv::platform::gdi {

struct BitmapObject {
  Image image;
  bool dibSection = false;
  bool selected = false;  // in a memory DC (one at a time)
};
struct BrushObject {
  COLORREF colour = 0;
};
struct PenObject {
  int style = PS_SOLID;
  COLORREF colour = 0;
};
struct FontObject {
  LOGFONTA logFont{};
};
struct RegionObject {
  Region region;
};

// Where a window's device context draws: the pixels of its top-level
// window's surface, which the window layer locks for each drawing call.
class DrawingTarget {
 public:
  virtual ~DrawingTarget() = default;
  // Runs `draw` on the pixels (24 bits, row 0 the top) while holding them.
  virtual void Draw(const std::function<void(const PixelView&)>& draw) = 0;
};

struct DcObject {
  // A memory DC draws into its bitmap; a window DC into its target, at
  // `origin` (the window's place in the target) within `visible`.
  std::shared_ptr<BitmapObject> bitmap;
  HBITMAP bitmapHandle = nullptr;
  std::shared_ptr<DrawingTarget> target;
  POINT origin{};
  Region visible;  // target coordinates; a window DC's only
  std::unique_ptr<Region> selectedClip;  // logical coordinates (SelectObject of a region)

  std::shared_ptr<BrushObject> brush;
  HBRUSH brushHandle = nullptr;
  std::shared_ptr<PenObject> pen;
  HPEN penHandle = nullptr;
  std::shared_ptr<FontObject> font;
  HFONT fontHandle = nullptr;
  COLORREF textColour = RGB(0, 0, 0);
  COLORREF backColour = RGB(255, 255, 255);
  int backMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  POINT position{};
};

using Object = std::variant<BitmapObject, BrushObject, PenObject, FontObject, RegionObject, DcObject>;

// Enters an object in the table; its handle.
uintptr_t NewObject(Object object);
template <typename Handle>
Handle ToHandle(uintptr_t value) {
  return reinterpret_cast<Handle>(value);
}
// Marks a handle as a stock object: DeleteObject leaves it.
void MakeStock(uintptr_t handle);
// The object of kind T a handle names, or null.
std::shared_ptr<Object> Find(const void* handle);
template <typename T>
std::shared_ptr<T> Get(const void* handle) {
  std::shared_ptr<Object> object = Find(handle);
  if (object == nullptr || !std::holds_alternative<T>(*object)) return nullptr;
  return std::shared_ptr<T>(object, &std::get<T>(*object));
}
// Takes a handle out of the table (false: none, or a stock object).
bool Remove(const void* handle);

// The default objects of a new DC, made once.
HBITMAP DefaultBitmap();
HBRUSH WhiteBrush();
HPEN BlackPen();
HFONT SystemFont();

// Runs `draw` on the DC's pixels with the clipping in device coordinates
// and the DC's origin (add it to logical coordinates). False for a DC that
// has nothing to draw on.
using DrawFunction = std::function<void(const PixelView&, const Region& clip, POINT origin)>;
bool DrawOn(DcObject& dc, const DrawFunction& draw);

// A window DC (the window layer's GetDC and BeginPaint).
HDC CreateTargetDC(std::shared_ptr<DrawingTarget> target, POINT origin, const Region& visible);

}  // namespace ksv::platform::gdi
