// Regions: rectangles, region data (as a region resource holds it) and
// their combinations.
#include "platform/gdi/region.h"

#include <cstring>

#include "platform/gdi/objects.h"
#include "platform/sync/sync.h"

namespace ksv::platform::gdi {

Region::Region(const RECT& rect) {
  if (rect.right > rect.left && rect.bottom > rect.top) {
    pixman_region32_init_rect(&region_, rect.left, rect.top,
                              static_cast<unsigned>(int64_t{rect.right} - rect.left),
                              static_cast<unsigned>(int64_t{rect.bottom} - rect.top));
  } else {
    pixman_region32_init(&region_);
  }
}

Region::Region(const std::vector<RECT>& rects) {
  std::vector<pixman_box32_t> boxes;
  boxes.reserve(rects.size());
  for (const RECT& rect : rects) {
    if (rect.right > rect.left && rect.bottom > rect.top) boxes.push_back({rect.left, rect.top, rect.right, rect.bottom});
  }
  // One pass over all of them, however many a region resource holds.
  if (pixman_region32_init_rects(&region_, boxes.data(), static_cast<int>(boxes.size())) == 0) {
    pixman_region32_init(&region_);
  }
}

void Region::Combine(const Region& other, int mode) {
  auto* self = &region_;
  auto* with = const_cast<pixman_region32_t*>(&other.region_);
  switch (mode) {
    case RGN_AND: pixman_region32_intersect(self, self, with); break;
    case RGN_OR: pixman_region32_union(self, self, with); break;
    case RGN_DIFF: pixman_region32_subtract(self, self, with); break;
    case RGN_XOR: {
      // (a - b) + (b - a)
      Region onlyOther(other);
      pixman_region32_subtract(onlyOther.get(), onlyOther.get(), self);
      pixman_region32_subtract(self, self, with);
      pixman_region32_union(self, self, onlyOther.get());
      break;
    }
    default: break;
  }
}

bool Region::Contains(int x, int y) const {
  return pixman_region32_contains_point(const_cast<pixman_region32_t*>(&region_), x, y, nullptr) != 0;
}

RECT Region::Box() const {
  if (Empty()) return RECT{};
  const pixman_box32_t* box = pixman_region32_extents(const_cast<pixman_region32_t*>(&region_));
  return RECT{box->x1, box->y1, box->x2, box->y2};
}

int Region::Kind() const {
  const int count = pixman_region32_n_rects(const_cast<pixman_region32_t*>(&region_));
  return count == 0 ? NULLREGION : count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

std::vector<RECT> Region::Rects() const {
  int count = 0;
  const pixman_box32_t* boxes =
      pixman_region32_rectangles(const_cast<pixman_region32_t*>(&region_), &count);
  std::vector<RECT> rects;
  rects.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) rects.push_back(RECT{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
  return rects;
}

namespace {

uint32_t ReadDword(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

constexpr uint32_t kHeaderBytes = 32;
constexpr uint32_t kRectBytes = 16;

}  // namespace
}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // The platform orders the corners.
  const RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return ToHandle<HRGN>(NewObject(RegionObject{Region(rect)}));
}

HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data) {
  // Read field by field: the data is a resource's bytes, not a struct
  // this process made.
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  if (transform != nullptr || bytes == nullptr || size < kHeaderBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const uint32_t headerSize = ReadDword(bytes);
  const uint32_t type = ReadDword(bytes + 4);
  const uint32_t count = ReadDword(bytes + 8);
  if (headerSize < kHeaderBytes || headerSize > size || type != RDH_RECTANGLES ||
      count > (size - headerSize) / kRectBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<RECT> rects(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* at = bytes + headerSize + size_t{i} * kRectBytes;
    rects[i] = RECT{static_cast<LONG>(ReadDword(at)), static_cast<LONG>(ReadDword(at + 4)),
                    static_cast<LONG>(ReadDword(at + 8)), static_cast<LONG>(ReadDword(at + 12))};
  }
  return ToHandle<HRGN>(NewObject(RegionObject{Region(rects)}));
}

int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode) {
  const auto target = Get<RegionObject>(destination);
  const auto a = Get<RegionObject>(first);
  const auto b = mode == RGN_COPY ? a : Get<RegionObject>(second);
  if (target == nullptr || a == nullptr || b == nullptr || mode < RGN_AND || mode > RGN_COPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return RGN_ERROR;
  }
  Region result = a->region;
  if (mode != RGN_COPY) result.Combine(b->region, mode);
  target->region = std::move(result);
  return target->region.Kind();
}

BOOL PtInRegion(HRGN region, int x, int y) {
  const auto object = Get<RegionObject>(region);
  return object != nullptr && object->region.Contains(x, y) ? TRUE : FALSE;
}

int GetRgnBox(HRGN region, RECT* box) {
  const auto object = Get<RegionObject>(region);
  if (object == nullptr || box == nullptr) return RGN_ERROR;
  *box = object->region.Box();
  return object->region.Kind();
}

}  // extern "C"
