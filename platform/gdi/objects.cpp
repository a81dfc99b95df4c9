// The handle table, device contexts and what selecting objects into them
// does.
#include "platform/gdi/objects.h"

#include <cstring>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/sync/sync.h"

namespace ksv::platform::gdi {
namespace {

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
  std::set<uintptr_t> stock;
  uintptr_t next = 0x10000;  // handles are never reused
};

Table& TheTable() {
  static Table* table = new Table;  // objects may be released during static destruction
  return *table;
}

uintptr_t Key(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

template <typename Handle>
Handle Stock(Object object) {
  const uintptr_t handle = NewObject(std::move(object));
  MakeStock(handle);
  return ToHandle<Handle>(handle);
}

}  // namespace

uintptr_t NewObject(Object object) {
  auto shared = std::make_shared<Object>(std::move(object));
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  table.next += 4;
  table.objects.emplace(table.next, std::move(shared));
  return table.next;
}

void MakeStock(uintptr_t handle) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  table.stock.insert(handle);
}

std::shared_ptr<Object> Find(const void* handle) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const auto found = table.objects.find(Key(handle));
  return found != table.objects.end() ? found->second : nullptr;
}

bool Remove(const void* handle) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  if (table.stock.count(Key(handle)) != 0) return false;
  return table.objects.erase(Key(handle)) != 0;
}

HBITMAP DefaultBitmap() {
  static const HBITMAP bitmap = Stock<HBITMAP>(BitmapObject{Image(1, 1, 1, true)});
  return bitmap;
}
HBRUSH WhiteBrush() {
  static const HBRUSH brush = Stock<HBRUSH>(BrushObject{RGB(255, 255, 255)});
  return brush;
}
HPEN BlackPen() {
  static const HPEN pen = Stock<HPEN>(PenObject{PS_SOLID, RGB(0, 0, 0)});
  return pen;
}
HFONT SystemFont() {
  static const HFONT font = [] {
    LOGFONTA logFont{};
    logFont.lfHeight = 16;
    logFont.lfWeight = 700;
    std::strcpy(logFont.lfFaceName, "System");
    return Stock<HFONT>(FontObject{logFont});
  }();
  return font;
}

bool DrawOn(DcObject& dc, const DrawFunction& draw) {
  const auto withClip = [&](const PixelView& view, Region clip) {
    clip.Intersect(RECT{0, 0, view.width, view.height});
    if (dc.selectedClip != nullptr) {
      Region selected = *dc.selectedClip;
      selected.Translate(dc.origin.x, dc.origin.y);
      clip.Combine(selected, RGN_AND);
    }
    draw(view, clip, dc.origin);
  };
  if (dc.target != nullptr) {
    dc.target->Draw([&](const PixelView& view) { withClip(view, dc.visible); });
    return true;
  }
  if (dc.bitmap == nullptr || dc.bitmap->image.bitsPerPixel() != 24) return false;
  withClip(dc.bitmap->image.View(), Region(RECT{0, 0, dc.bitmap->image.width(), dc.bitmap->image.height()}));
  return true;
}

namespace {

DcObject NewDc() {
  DcObject dc;
  dc.brushHandle = WhiteBrush();
  dc.brush = Get<BrushObject>(dc.brushHandle);
  dc.penHandle = BlackPen();
  dc.pen = Get<PenObject>(dc.penHandle);
  dc.fontHandle = SystemFont();
  dc.font = Get<FontObject>(dc.fontHandle);
  return dc;
}

// Replaces a DC's object of one kind; returns the old handle.
template <typename T, typename Handle>
HGDIOBJ Swap(std::shared_ptr<T>& slot, Handle& slotHandle, HGDIOBJ handle) {
  auto object = Get<T>(handle);
  const HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(slotHandle);
  slot = std::move(object);
  slotHandle = reinterpret_cast<Handle>(handle);
  return previous;
}

}  // namespace

HDC CreateTargetDC(std::shared_ptr<DrawingTarget> target, POINT origin, const Region& visible) {
  DcObject dc = NewDc();
  dc.target = std::move(target);
  dc.origin = origin;
  dc.visible = visible;
  return ToHandle<HDC>(NewObject(std::move(dc)));
}

}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

HDC CreateCompatibleDC(HDC /*reference*/) {
  DcObject dc = NewDc();
  dc.bitmapHandle = DefaultBitmap();
  dc.bitmap = Get<BitmapObject>(dc.bitmapHandle);
  return ToHandle<HDC>(NewObject(std::move(dc)));
}

BOOL DeleteDC(HDC handle) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (dc->bitmap != nullptr) dc->bitmap->selected = false;
  Remove(handle);
  return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  const auto dc = Get<DcObject>(handle);
  const std::shared_ptr<Object> found = Find(object);
  if (dc == nullptr || found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (std::holds_alternative<BrushObject>(*found)) return Swap(dc->brush, dc->brushHandle, object);
  if (std::holds_alternative<PenObject>(*found)) return Swap(dc->pen, dc->penHandle, object);
  if (std::holds_alternative<FontObject>(*found)) return Swap(dc->font, dc->fontHandle, object);
  if (std::holds_alternative<RegionObject>(*found)) {
    const Region& region = std::get<RegionObject>(*found).region;
    dc->selectedClip = std::make_unique<Region>(region);
    return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(region.Kind()));
  }
  if (std::holds_alternative<BitmapObject>(*found) && dc->target == nullptr) {
    auto bitmap = Get<BitmapObject>(object);
    if (bitmap == dc->bitmap) return object;
    if (bitmap->selected) {  // in another DC
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    const HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(dc->bitmapHandle);
    dc->bitmap->selected = false;
    if (object != reinterpret_cast<HGDIOBJ>(DefaultBitmap())) bitmap->selected = true;
    dc->bitmap = std::move(bitmap);
    dc->bitmapHandle = reinterpret_cast<HBITMAP>(object);
    return previous;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  const std::shared_ptr<Object> found = Find(object);
  if (found == nullptr || std::holds_alternative<DcObject>(*found)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Remove(object);  // a stock object stays
  return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  const std::shared_ptr<Object> found = Find(object);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const auto give = [&](const void* value, int bytes) {
    if (buffer == nullptr) return bytes;
    const int copied = std::min(size, bytes);
    if (copied <= 0) return 0;
    std::memcpy(buffer, value, static_cast<size_t>(copied));
    return copied;
  };
  if (auto* bitmap = std::get_if<BitmapObject>(found.get())) {
    Image& image = bitmap->image;
    BITMAP info{};
    info.bmWidth = image.width();
    info.bmHeight = image.height();
    // A device-dependent bitmap's rows are counted in 16-bit words.
    info.bmWidthBytes = bitmap->dibSection
                            ? static_cast<LONG>(image.stride())
                            : static_cast<LONG>((image.width() * image.bitsPerPixel() + 15) / 16 * 2);
    info.bmPlanes = 1;
    info.bmBitsPixel = static_cast<WORD>(image.bitsPerPixel());
    info.bmBits = bitmap->dibSection ? image.data() : nullptr;
    return give(&info, sizeof info);
  }
  if (auto* font = std::get_if<FontObject>(found.get())) return give(&font->logFont, sizeof(LOGFONTA));
  if (auto* brush = std::get_if<BrushObject>(found.get())) {
    const LOGBRUSH info{BS_SOLID, brush->colour, 0};
    return give(&info, sizeof info);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

COLORREF SetTextColor(HDC handle, COLORREF colour) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->textColour, colour & 0xFFFFFF);
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->backColour, colour & 0xFFFFFF);
}

int SetBkMode(HDC handle, int mode) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->backMode, mode);
}

int SetStretchBltMode(HDC handle, int mode) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return std::exchange(dc->stretchMode, mode);
}

}  // extern "C"
